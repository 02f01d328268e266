#pragma once
// Header fields and headers. A header is an ordered list of fields (duplicates allowed). A field read
// from mail keeps its value only as written (encoded words and folding kept) and decodes it when asked:
// Value() gives the bytes the system shows (the library's field decoder, folding kept) and Charset()
// the charset of its first encoded word; DecodeFieldText (field_text.h) gives UTF-16 text, each word in
// its own charset. A field the system makes holds its text and the charset to write it in.
// Text given to Parse must use CR LF line ends; bytes past the given length are never read, and the
// end of the text counts like a zero byte.
//
// Return values: Parse gives the bytes consumed or 0 for a malformed header; WriteTo gives the bytes
// written or 0 when a field does not fit. Size buffers with StoredSize().
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mime/field_codec.h"

namespace mime {

// Where a parameter's value stands inside a field value: offset and length, quotes included.
struct ParamLocation {
    std::size_t position = 0;
    std::size_t length = 0;
};

class CMimeHeaderField {
public:
  // A decoded value: the bytes and the charset of the first encoded word (empty when none).
  struct Decoded {
      std::string bytes;
      std::string charset;
  };

    CMimeHeaderField() = default;
    // A field the system makes: its text, written in charset (encoded words for non-ASCII) when set.
    CMimeHeaderField(std::string name, std::string text, std::string charset = {})
        : name(std::move(name)), stored_(std::move(text)), charset_(std::move(charset)), made_(true) {}

    // Reads one field from the start of the text (skipping stray continuation lines before it);
    // returns the bytes consumed, the terminating CR LF included, or 0 when the text holds no complete
    // field or begins the blank line that ends the header.
    std::int64_t Parse(const char* text, std::int64_t length);
    // Bytes WriteTo needs: name + 4 + the field codec's bound for the value.
    std::int64_t StoredSize() const;
    // Writes name, ": ", the value (encoded in Charset() when it is set) and CR LF; 0 when size is
    // below the name's length + 4.
    std::int64_t WriteTo(char* buffer, std::int64_t size) const;

    // The value as written: encoded words not decoded, folding kept. For a field that Parse read, the
    // text between the colon (and the blanks after it) and the final CR LF; for a made one, its text.
    const std::string& RawValue() const { return stored_; }
    // The value decoded on demand (continuation lines keep their CR LF and leading white space) and
    // the charset of its first encoded word; a made field gives its text and charset.
    Decoded DecodedValue() const;
    std::string Value() const { return DecodedValue().bytes; }
    std::string Charset() const { return DecodedValue().charset; }
    // Replaces the value with a text of the system's, keeping Charset() for writing it.
    void SetText(std::string text);

    // The value up to its first ';' without trailing white space; the whole value when there is none.
    std::string LeadingValue() const;
    // Finds a ';' parameter by name (case-insensitive, whole name) in Value(); quoted or token value.
    std::optional<ParamLocation> LocateParam(std::string_view paramName) const;
    // The parameter's value without its enclosing quotes (no escapes interpreted); false and an empty
    // text when absent.
    bool ParamText(std::string_view paramName, std::string& text) const;
    std::string ParamText(std::string_view paramName) const;
    // Replaces the parameter's value, or appends "; name=value"; the value is written in double quotes.
    // The field is then one the system made: its written value is the new value.
    void PutParam(std::string_view paramName, std::string_view paramValue);

    std::string name;  // exactly as it stood before the colon

  private:
    static std::optional<ParamLocation> locateParam(const std::string& value, std::string_view paramName);

    std::string stored_;   // read: as written; made: the text
    std::string charset_;  // made: the charset to write the text in
    bool made_ = false;
};

class CMimeHeader {
public:
    CMimeHeader() = default;
    CMimeHeader(const CMimeHeader&) = delete;
    CMimeHeader& operator=(const CMimeHeader&) = delete;
    virtual ~CMimeHeader() = default;

    // Removes every field.
    virtual void Reset();
    // Sum of the fields' StoredSize + 2 for the blank line.
    virtual std::int64_t StoredSize() const;
    // Every field in order, then the blank line; 0 when anything does not fit.
    virtual std::int64_t WriteTo(char* buffer, std::int64_t size) const;
    // Replaces the fields with those read from the text up to the blank line (consumed too) or a zero
    // byte. Returns the offset of the first body byte, or 0 when a field cannot be read (the fields
    // read before it are kept).
    virtual std::int64_t Parse(const char* text, std::int64_t length);

    // The first field whose name equals the given one without regard to case; later duplicates are
    // ignored by every getter.
    const CMimeHeaderField* LookupField(std::string_view name) const;
    CMimeHeaderField* LookupField(std::string_view name);
    // Every field of that name (case-insensitive), in order.
    std::vector<const CMimeHeaderField*> FieldsNamed(std::string_view name) const;
    // The decoded value of that field (CMimeHeaderField::Value), or nothing when there is none
    // (distinct from an empty value).
    std::optional<std::string> FieldText(std::string_view name) const;
    // Overwrites the first field of that name with a copy of the field, or appends one.
    void PutField(const CMimeHeaderField& field);
    // PutField with the name, the value and an empty charset.
    void PutFieldText(std::string_view name, std::string_view value);

    std::optional<std::string> FromText() const { return FieldText("From"); }
    std::optional<std::string> ToText() const { return FieldText("To"); }
    std::optional<std::string> SubjectText() const { return FieldText("Subject"); }
    std::optional<std::string> DateText() const { return FieldText("Date"); }
    std::optional<std::string> ContentTypeText() const { return FieldText("Content-Type"); }
    std::optional<std::string> TransferEncodingText() const { return FieldText("Content-Transfer-Encoding"); }

    // All fields in the order read or added.
    const std::vector<CMimeHeaderField>& Fields() const { return fields; }

protected:
    std::vector<CMimeHeaderField> fields;
};

}  // namespace mime

// Parses arbitrary bytes as a header and exercises the field operations on every field read.
#include <string>

#include "fuzz_check.h"
#include "mime/mime_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::ExactBuffer input = fuzz::copyInput(data, size);
    mime::CMimeHeader header;
    const std::int64_t bodyStart = header.Parse(input.bytes.get(), input.size);
    fuzz::check(bodyStart >= 0 && bodyStart <= input.size, "Parse result within the input");

    for (const mime::CMimeHeaderField& field : header.Fields()) {
        (void)field.LeadingValue();
        for (const char* param : {"boundary", "name", "charset", ""}) {
            std::string text;
            const bool found = field.ParamText(param, text);
            if (const auto where = field.LocateParam(param)) {
                fuzz::check(found && where->position + where->length <= field.Value().size(),
                            "parameter inside the value");
            }
        }
        mime::CMimeHeaderField copy = field;
        copy.PutParam("name", "x\"y");
        copy.PutParam("name", "\"z\"");
        (void)copy.ParamText("name");

        const std::int64_t bound = field.StoredSize();
        if (bound > fuzz::kMaxOutput) continue;
        fuzz::ExactBuffer exact(bound);
        fuzz::check(field.WriteTo(exact.bytes.get(), exact.size) <= bound, "field WriteTo within StoredSize");
    }

    const std::int64_t bound = header.StoredSize();
    if (bound > fuzz::kMaxOutput) return 0;
    fuzz::ExactBuffer exact(bound);
    const std::int64_t written = header.WriteTo(exact.bytes.get(), exact.size);
    fuzz::check(written <= bound && (header.Fields().empty() || written > 0),
                "header WriteTo within StoredSize");
    if (written > 0) {
        mime::CMimeHeader again;
        again.Parse(exact.bytes.get(), written);
    }
    return 0;
}

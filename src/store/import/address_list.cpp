#include "store/import/address_list.h"

#include "mime/charset_text.h"
#include "mime/field_text.h"

#include <algorithm>

namespace store::import {
namespace {

enum class TokenKind { Word, Quoted, Comment, Angle, Comma, Colon, Semicolon };

struct Token {
    TokenKind kind;
    std::string text;
    bool spaceBefore = false;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isAt(std::string_view word) {
    return word.size() == 2 && (word[0] == 'a' || word[0] == 'A') && (word[1] == 't' || word[1] == 'T');
}
bool isSpecial(char c) { return c == '"' || c == '(' || c == '<' || c == ',' || c == ':' || c == ';'; }

constexpr std::size_t kPollEvery = 512;  // tokens or mailboxes between two polls of the stop request

std::vector<Token> tokenize(std::string_view in, const StopRequest& stop) {
    std::vector<Token> tokens;
    tokens.reserve(8);  // "Name Name <address>," and the like
    std::size_t nextGreater = 0;   // the first '>' at or after a position already looked at
    std::size_t nextQuote = 0;     // the same for '"'
    std::size_t p = 0;
    bool space = false;
    while (p < in.size()) {
        const char c = in[p];
        if (isBlank(c)) {
            space = true;
            ++p;
            continue;
        }
        Token t{TokenKind::Word, {}, space};
        space = false;
        if (c == '"' && nextQuote <= p) nextQuote = in.find('"', p + 1);
        if (c == '"' && nextQuote == std::string_view::npos) {
            ++p;  // a quote that is never closed is dropped
            space = t.spaceBefore;
            continue;
        }
        if (c == '"') {
            t.kind = TokenKind::Quoted;
            ++p;
            while (p < in.size() && in[p] != '"') {
                if (in[p] == '\\' && p + 1 < in.size()) ++p;
                t.text.push_back(in[p++]);
            }
            ++p;
        } else if (c == '(') {
            t.kind = TokenKind::Comment;
            int depth = 1;
            ++p;
            while (p < in.size() && depth > 0) {
                if (in[p] == '\\' && p + 1 < in.size()) {
                    t.text.push_back(in[p + 1]);
                    p += 2;
                    continue;
                }
                if (in[p] == '(') ++depth;
                if (in[p] == ')' && --depth == 0) break;
                t.text.push_back(in[p++]);
            }
            ++p;
        } else if (c == '<') {
            t.kind = TokenKind::Angle;
            if (nextGreater != std::string_view::npos && nextGreater <= p) nextGreater = in.find('>', p + 1);
            const std::size_t close = nextGreater;
            const std::size_t end = close == std::string_view::npos ? in.size() : close;
            t.text.assign(in.substr(p + 1, end - p - 1));
            p = end + 1;
        } else if (c == ',' || c == ':' || c == ';') {
            t.kind = c == ',' ? TokenKind::Comma : c == ':' ? TokenKind::Colon : TokenKind::Semicolon;
            ++p;
        } else if (c == ')' || c == '>') {
            ++p;  // stray closer
            continue;
        } else {
            const std::size_t start = p;
            while (p < in.size() && !isBlank(in[p]) && !isSpecial(in[p]) && in[p] != ')' && in[p] != '>') ++p;
            t.text.assign(in.substr(start, p - start));
        }
        tokens.push_back(std::move(t));
        if (tokens.size() % kPollEvery == 0) throwIfStopped(stop);
    }
    return tokens;
}

// The bare address of an angle address: a source route ("@a,@b:"), comments and blanks removed.
std::string routeRemoved(std::string_view text) {
    std::string out;
    int comment = 0;
    for (char c : text) {
        if (c == '(') ++comment;
        if (comment == 0 && !isBlank(c)) out.push_back(c);
        if (c == ')' && comment > 0) --comment;
    }
    if (!out.empty() && out.front() == '@') {
        const std::size_t colon = out.find(':');
        if (colon != std::string::npos) out.erase(0, colon + 1);
    }
    return out;
}

std::u16string decodedName(const std::string& text) {
    std::u16string name = mime::CollapseBlanks(mime::DecodeFieldText(text));
    // Names quoted twice ('"Ann"' or "'Ann'") lose the inner quotes too.
    while (name.size() >= 2 && name.front() == name.back() && (name.front() == u'"' || name.front() == u'\'')) {
        name = mime::CollapseBlanks(name.substr(1, name.size() - 2));
    }
    return name;
}

class MailboxCollector {
public:
    void add(Token t) {
        count(t, 1);
        pending_.push_back(std::move(t));
    }

    // Ends the current mailbox (at ',', ';', a group start or the end of the list).
    void flush(std::vector<Mailbox>& out) {
        std::string phrase;
        std::string comment;
        std::string angle;
        bool hasAngle = false;
        std::string bare;  // the tokens read as an bare address
        for (const Token& t : pending_) {
            switch (t.kind) {
            case TokenKind::Angle:
                if (!hasAngle) angle = routeRemoved(t.text);
                hasAngle = true;
                break;
            case TokenKind::Comment:
                if (comment.empty()) comment = t.text;
                break;
            case TokenKind::Quoted:
                if (!phrase.empty()) phrase += ' ';
                phrase += t.text;
                bare += '"' + t.text + '"';
                break;
            default:
                if (!phrase.empty() && t.spaceBefore) phrase += ' ';
                phrase += t.text;
                bare += t.text;
                break;
            }
        }
        const std::string atLocal = hasAngle ? std::string() : atFormLocalPart();
        pending_.clear();
        angles_ = wordsWithAt_ = 0;
        Mailbox m;
        if (hasAngle) {
            m.address = mime::DecodeUnlabelled(angle);
            m.name = decodedName(phrase.empty() ? comment : phrase);
        } else if (bare.find('@') != std::string::npos || (phrase.find(' ') == std::string::npos && !bare.empty())) {
            m.address = mime::DecodeUnlabelled(bare);
            m.name = decodedName(comment);
        } else if (!atLocal.empty()) {
            m.address = mime::DecodeUnlabelled(atLocal);
            m.name = decodedName(comment.empty() ? phrase : comment);
        } else {
            m.name = decodedName(phrase.empty() ? comment : phrase);
        }
        if (m.address.empty() && m.name.empty()) return;
        out.push_back(std::move(m));
    }

    bool empty() const { return pending_.empty(); }

    // "user at host", the form archives write an address in (RFC 733's "at" for "@"): RFC 822
    // parsers, Python's among them, read the word before "at" as the address and drop the rest.
    std::string atFormLocalPart() const {
        std::vector<const Token*> words;
        for (const Token& t : pending_) {
            if (t.kind == TokenKind::Word || t.kind == TokenKind::Quoted) words.push_back(&t);
        }
        const bool atForm = words.size() == 3 && isAt(words[1]->text) &&
                            std::all_of(words.begin(), words.end(),
                                        [](const Token* w) { return w->kind == TokenKind::Word; });
        return atForm ? words[0]->text : std::string();
    }

    // The words after this mailbox's angle address: they name the next mailbox when another angle
    // address follows without a comma ("Ann <a@x> Bob <b@x>").
    std::vector<Token> takeTrailingWords() {
        std::vector<Token> trailing;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (pending_[i].kind != TokenKind::Angle) continue;
            std::size_t keep = i + 1;
            while (keep < pending_.size() && pending_[keep].kind == TokenKind::Comment) ++keep;
            trailing.assign(pending_.begin() + static_cast<std::ptrdiff_t>(keep), pending_.end());
            pending_.resize(keep);
            for (const Token& t : trailing) count(t, -1);
            break;
        }
        return trailing;
    }
    // Kept as counts, so that long runs of colons or words cost no rescans.
    bool hasAddress() const { return angles_ > 0; }
    bool phraseHasAt() const { return wordsWithAt_ > 0; }

private:
    void count(const Token& t, int sign) {
        if (t.kind == TokenKind::Angle) angles_ += sign;
        if (t.kind == TokenKind::Word && t.text.find('@') != std::string::npos) wordsWithAt_ += sign;
    }

    std::vector<Token> pending_;
    std::ptrdiff_t angles_ = 0;
    std::ptrdiff_t wordsWithAt_ = 0;
};

}  // namespace

std::vector<Mailbox> parseAddressList(std::string_view rawValue, const StopRequest& stop) {
    const std::string value = mime::Unfold(rawValue);
    std::vector<Mailbox> out;
    MailboxCollector current;
    std::size_t ends = 0;
    for (Token& t : tokenize(value, stop)) {
        switch (t.kind) {
        case TokenKind::Comma:
        case TokenKind::Semicolon:
            current.flush(out);
            if (++ends % kPollEvery == 0) throwIfStopped(stop);
            break;
        case TokenKind::Colon:
            // "Group name:" starts a group unless the colon belongs to an address ("a@b:..." is
            // not a group); the group name itself is not an address.
            if (!current.hasAddress() && !current.phraseHasAt()) {
                current = MailboxCollector();
            } else {
                current.add(Token{TokenKind::Word, ":", false});
            }
            break;
        case TokenKind::Angle:
            // A second address without a comma in between starts a new mailbox.
            if (current.hasAddress()) {
                std::vector<Token> next = current.takeTrailingWords();
                current.flush(out);
                for (Token& word : next) current.add(std::move(word));
            }
            current.add(std::move(t));
            break;
        default:
            current.add(std::move(t));
            break;
        }
    }
    current.flush(out);
    return out;
}

}  // namespace store::import

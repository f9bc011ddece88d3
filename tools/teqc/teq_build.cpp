// The TEQ text form compiler: text in, TEQ bytes out.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "teq_text.h"
#include "teq_vocabulary.h"

namespace teqc {

TextError::TextError(int line_, int column_, const std::string &message)
    : std::runtime_error(std::to_string(line_) + ":" + std::to_string(column_) + ": " + message), line(line_),
      column(column_)
{
}

namespace {

enum class Tok { Word, String, Open, Close, Newline, End };

struct Token {
    Tok kind;
    std::string text; // word text, or the bytes of a string
    int line, column;
};

class Lexer {
public:
    explicit Lexer(const std::string &source) : src_(source) {}

    Token next()
    {
        skipBlanksAndComments();
        Token t{Tok::End, "", line_, column()};
        if (pos_ >= src_.size()) return t;
        char c = src_[pos_];
        if (c == '\n') {
            advance();
            t.kind = Tok::Newline;
        } else if (c == '{' || c == '}') {
            advance();
            t.kind = c == '{' ? Tok::Open : Tok::Close;
        } else if (c == '"') {
            t.kind = Tok::String;
            t.text = quoted(t);
        } else {
            t.kind = Tok::Word;
            while (pos_ < src_.size() && !isDelimiter(src_[pos_])) t.text += src_[pos_], advance();
        }
        return t;
    }

private:
    static bool isDelimiter(char c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"' || c == '{' || c == '}' || c == '#';
    }

    int column() const { return static_cast<int>(pos_ - lineStart_) + 1; }

    void advance()
    {
        if (src_[pos_] == '\n') line_++, lineStart_ = pos_ + 1;
        pos_++;
    }

    void skipBlanksAndComments()
    {
        while (pos_ < src_.size()) {
            char c = src_[pos_];
            if (c == ' ' || c == '\t' || c == '\r') {
                advance();
            } else if (c == '#') {
                while (pos_ < src_.size() && src_[pos_] != '\n') advance();
            } else {
                break;
            }
        }
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::string quoted(const Token &start)
    {
        std::string bytes;
        advance();
        for (;;) {
            if (pos_ >= src_.size() || src_[pos_] == '\n')
                throw TextError(start.line, start.column, "unterminated string");
            char c = src_[pos_];
            if (c == '"') {
                advance();
                return bytes;
            }
            if (c != '\\') {
                bytes += c;
                advance();
                continue;
            }
            int line = line_, col = column();
            advance();
            char e = pos_ < src_.size() ? src_[pos_] : '\0';
            if (e == 'n' || e == 't' || e == 'r' || e == '"' || e == '\\') {
                bytes += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                advance();
            } else if (e == 'x' && pos_ + 2 < src_.size() && hexValue(src_[pos_ + 1]) >= 0 &&
                       hexValue(src_[pos_ + 2]) >= 0) {
                bytes += static_cast<char>(hexValue(src_[pos_ + 1]) * 16 + hexValue(src_[pos_ + 2]));
                advance(), advance(), advance();
            } else {
                throw TextError(line, col, "unknown escape in string (use \\\" \\\\ \\n \\t \\r or \\xHH)");
            }
        }
    }

    const std::string &src_;
    size_t pos_ = 0, lineStart_ = 0;
    int line_ = 1;
};

// Operands of conditions and info records differ in one rule: an info record
// of type 0 has no name in version "d" files when the painter's PLC id is 0.
enum class SourceContext { Info, Operand };

class Builder {
public:
    explicit Builder(const std::string &source) : lexer_(source) { tok_ = lexer_.next(); }

    std::string file()
    {
        skipNewlines();
        Token t = tok_;
        if (word() != "teq") throw error(t, "a file starts with the line \"teq\" and its editor version (c to g)");
        Token v = tok_;
        std::string version = word();
        if (version.size() != 1 || version[0] < 'c' || version[0] > 'g')
            throw error(v, "editor version must be one of c, d, e, f, g");
        endStatement();
        std::string out(1, version[0]);
        out += elements(version[0]);
        return out;
    }

    std::string elements(int version)
    {
        version_ = version;
        std::string out;
        for (skipNewlines(); tok_.kind != Tok::End; skipNewlines()) {
            if (tok_.kind != Tok::Word) throw error(tok_, "expected an element");
            element(out);
        }
        return out;
    }

private:
    TextError error(const Token &t, const std::string &message) const { return TextError(t.line, t.column, message); }

    void advance() { tok_ = lexer_.next(); }

    void skipNewlines()
    {
        while (tok_.kind == Tok::Newline) advance();
    }

    std::string word()
    {
        if (tok_.kind != Tok::Word) throw error(tok_, "expected a word");
        std::string w = tok_.text;
        advance();
        return w;
    }

    std::string string()
    {
        if (tok_.kind != Tok::String) throw error(tok_, "expected a quoted string");
        std::string s = tok_.text;
        advance();
        return s;
    }

    void endStatement()
    {
        if (tok_.kind == Tok::Newline) advance();
        else if (tok_.kind != Tok::End && tok_.kind != Tok::Close)
            throw error(tok_, "unexpected text at the end of the line");
    }

    bool atWord(const char *w) const { return tok_.kind == Tok::Word && tok_.text == w; }

    static std::optional<int64_t> parseInteger(const std::string &text)
    {
        size_t i = 0;
        bool negative = false;
        if (i < text.size() && text[i] == '-') negative = true, i++;
        int base = 10;
        if (text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) base = 16, i += 2;
        if (i == text.size()) return std::nullopt;
        int64_t value = 0;
        for (; i < text.size(); i++) {
            char c = text[i];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : 99;
            if (d >= base) return std::nullopt;
            value = value * base + d;
            if (value > 0xFFFFFFFFLL) return std::nullopt;
        }
        return negative ? -value : value;
    }

    int64_t numberIn(const Token &t, const std::string &text, int64_t min, int64_t max) const
    {
        auto value = parseInteger(text);
        if (!value || *value < min || *value > max)
            throw error(t, "expected a number from " + std::to_string(min) + " to " + std::to_string(max) + ", got \"" +
                               text + "\"");
        return *value;
    }

    int64_t number(int64_t min, int64_t max)
    {
        Token t = tok_;
        return numberIn(t, word(), min, max);
    }

    std::vector<std::string> splitComma(const std::string &text) const
    {
        std::vector<std::string> parts(1);
        for (char c : text) {
            if (c == ',') parts.emplace_back();
            else parts.back() += c;
        }
        return parts;
    }

    void colour(std::string &out)
    {
        Token t = tok_;
        auto parts = splitComma(word());
        if (parts.size() != 3) throw error(t, "expected a colour r,g,b");
        for (auto &p : parts) out += static_cast<char>(numberIn(t, p, 0, 255));
    }

    void pair(std::string &out)
    {
        Token t = tok_;
        std::string text = word();
        int64_t high = 0;
        size_t slash = text.find('/');
        if (slash != std::string::npos) {
            high = numberIn(t, text.substr(slash + 1), 0, 3);
            text.resize(slash);
        }
        auto parts = splitComma(text);
        if (parts.size() != 2) throw error(t, "expected a pair x,y (optionally x,y/flags)");
        auto x = static_cast<uint32_t>(numberIn(t, parts[0], 0, 2047));
        auto y = static_cast<uint32_t>(numberIn(t, parts[1], 0, 2047));
        uint32_t value = static_cast<uint32_t>(high) << 22 | x << 11 | y;
        out += static_cast<char>(value >> 16);
        out += static_cast<char>(value >> 8);
        out += static_cast<char>(value);
    }

    static void int32(std::string &out, int64_t value)
    {
        auto v = static_cast<uint32_t>(value);
        for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift);
    }

    void byteField(std::string &out) { out += static_cast<char>(number(0, 255)); }

    void shortString(std::string &out)
    {
        Token t = tok_;
        std::string s = string();
        if (s.size() > 255) throw error(t, "a short string holds at most 255 bytes");
        out += static_cast<char>(s.size());
        out += s;
    }

    void utfString(std::string &out, const Token &t, const std::string &s) const
    {
        if (s.size() > 65535) throw error(t, "a UTF string holds at most 65535 bytes");
        out += static_cast<char>(s.size() >> 8);
        out += static_cast<char>(s.size());
        out += s;
    }

    void utfString(std::string &out)
    {
        Token t = tok_;
        utfString(out, t, string());
    }

    // Attributes name=value that may follow a keyword; each at most once.
    std::map<std::string, int64_t> attributes(std::initializer_list<std::pair<const char *, int64_t>> allowed)
    {
        std::map<std::string, int64_t> found;
        while (tok_.kind == Tok::Word) {
            size_t eq = tok_.text.find('=');
            if (eq == std::string::npos) break;
            std::string name = tok_.text.substr(0, eq);
            int64_t max = -1;
            for (auto &a : allowed)
                if (name == a.first) max = a.second;
            if (max < 0) throw error(tok_, "unknown attribute \"" + name + "\" here");
            if (found.count(name)) throw error(tok_, "attribute \"" + name + "\" given twice");
            found[name] = numberIn(tok_, tok_.text.substr(eq + 1), 0, max);
            advance();
        }
        return found;
    }

    static int64_t attribute(const std::map<std::string, int64_t> &attrs, const char *name, int64_t otherwise = 0)
    {
        auto it = attrs.find(name);
        return it == attrs.end() ? otherwise : it->second;
    }

    void rawBytes(std::string &out)
    {
        while (tok_.kind == Tok::Word) {
            Token t = tok_;
            std::string text = word();
            if (text.size() % 2 != 0) throw error(t, "raw bytes are pairs of hex digits");
            for (size_t i = 0; i < text.size(); i += 2)
                out += static_cast<char>(numberIn(t, "0x" + text.substr(i, 2), 0, 255));
        }
        endStatement();
    }

    // Statements inside braces, until the closing brace.
    void block(const std::function<void()> &statement)
    {
        if (tok_.kind != Tok::Open) throw error(tok_, "expected {");
        Token open = tok_;
        advance();
        for (skipNewlines(); tok_.kind != Tok::Close; skipNewlines()) {
            if (tok_.kind == Tok::End) throw error(open, "this { is never closed");
            statement();
        }
        advance();
        endStatement();
    }

    void element(std::string &out)
    {
        Token t = tok_;
        std::string w = word();
        if (w == "border" || w == "fill") {
            Token s = tok_;
            std::string state = word();
            if (state != "on" && state != "off") throw error(s, "expected on or off");
            out += static_cast<char>(w == "border" ? (state == "on" ? 0x02 : 0x01) : (state == "on" ? 0x05 : 0x04));
        } else if (w == "line-colour" || w == "fill-colour" || w == "background") {
            out += static_cast<char>(w == "line-colour" ? 0x03 : w == "fill-colour" ? 0x06 : 0x16);
            colour(out);
        } else if (w == "font") {
            out += '\x0B';
            shortString(out);
            byteField(out);
            byteField(out);
        } else if (w == "page-size") {
            out += '\x10';
            pair(out);
        } else if (w == "line-style" || w == "line-width") {
            out += static_cast<char>(w == "line-style" ? 0x1E : 0x1F);
            byteField(out);
        } else if (w == "layer") {
            out += '\x1B';
            Token s = tok_;
            std::string which = word();
            int64_t selector = which == "background" ? 1 : which == "foreground" ? 0 : numberIn(s, which, 0, 255);
            out += static_cast<char>(selector);
            shortString(out);
        } else if (w == "bytes") {
            rawBytes(out);
            return;
        } else if (w == "painter") {
            painter(out);
            return;
        } else if (!skippedElement(w, out)) {
            throw error(t, "unknown element \"" + w + "\"");
        }
        endStatement();
    }

    bool skippedElement(const std::string &w, std::string &out)
    {
        for (const ElementWord &e : kPlainElements)
            if (w == e.word) {
                out += static_cast<char>(e.code);
                return true;
            }
        for (const SkippedElement &e : kSkippedElements) {
            if (w != e.word) continue;
            out += static_cast<char>(e.code);
            for (const char *f = e.fields; *f; f++) {
                if (*f == 'p') pair(out);
                if (*f == 'f') int32(out, number(0, 0xFFFFFFFFLL));
                if (*f == 'b') byteField(out);
                if (*f == 's') shortString(out);
            }
            return true;
        }
        return false;
    }

    void painter(std::string &out)
    {
        Token start = tok_;
        std::string className = string();
        std::string fallback;
        bool hasAt = false, hasSize = false, hasPlc = false, hasFallback = false;
        std::string at, size;
        int plc = 0;
        std::optional<int64_t> length;
        while (tok_.kind == Tok::Word) {
            Token t = tok_;
            std::string key = word();
            if (key == "at" && !hasAt) {
                pair(at), hasAt = true;
            } else if (key == "size" && !hasSize) {
                pair(size), hasSize = true;
            } else if (key == "fallback" && !hasFallback) {
                Token f = tok_;
                fallback = string(), hasFallback = true;
                if (fallback.size() > 255) throw error(f, "a short string holds at most 255 bytes");
            } else if (key == "plc" && !hasPlc) {
                if (version_ < kVersionD) throw error(t, "painters have no PLC id before version d");
                plc = static_cast<int>(number(0, 255)), hasPlc = true;
            } else if (key == "length" && !length) {
                length = number(INT32_MIN, 0xFFFFFFFFLL);
            } else {
                throw error(t, "expected at, size, fallback, plc or length (each once)");
            }
        }
        if (!hasAt || !hasSize) throw error(start, "a painter needs at x,y and size w,h");
        if (className.size() > 255) throw error(start, "a short string holds at most 255 bytes");
        plc_ = plc;
        std::string body;
        if (tok_.kind == Tok::Open) block([&] { bodyItem(body); });
        else endStatement();
        out += '\x17';
        out += at + size;
        out += static_cast<char>(className.size()) + className;
        out += static_cast<char>(fallback.size()) + fallback;
        if (version_ >= kVersionD) out += static_cast<char>(plc);
        int32(out, length ? *length : static_cast<int64_t>(body.size()));
        out += body;
    }

    void bodyItem(std::string &out)
    {
        Token t = tok_;
        std::string w = word();
        if (w == "block") {
            painterBlock(out);
        } else if (w == "start") {
            int32(out, number(INT32_MIN, 0xFFFFFFFFLL));
            int32(out, number(INT32_MIN, 0xFFFFFFFFLL));
            endStatement();
        } else if (w == "points") {
            points(out);
        } else if (w == "text") {
            utfString(out);
            int32(out, number(INT32_MIN, 0xFFFFFFFFLL));
            int32(out, number(INT32_MIN, 0xFFFFFFFFLL));
            endStatement();
        } else if (w == "bytes") {
            rawBytes(out);
        } else {
            throw error(t, "expected block, start, points, text or bytes in a painter");
        }
    }

    void points(std::string &out)
    {
        auto attrs = attributes({{"count", 0xFFFFFFFFLL}});
        std::string pairs;
        int64_t n = 0;
        auto pairsOnLine = [&] {
            while (tok_.kind == Tok::Word) pair(pairs), n++;
        };
        pairsOnLine();
        if (tok_.kind == Tok::Open) {
            block([&] {
                pairsOnLine();
                endStatement();
            });
        } else {
            endStatement();
        }
        int32(out, attribute(attrs, "count", n));
        out += pairs;
    }

    void painterBlock(std::string &out)
    {
        std::string className = string();
        Token idToken = tok_;
        if (word() != "id") throw error(idToken, "expected id after the block's class name");
        int64_t id = number(INT32_MIN, 0xFFFFFFFFLL);
        auto attrs = attributes({{"tag", 255}, {"actions-tag", 255}, {"repaints-tag", 255}, {"fkeys-tag", 255}});
        std::string actions, repaints, fkeys;
        int nActions = 0, nRepaints = 0, nFkeys = 0;
        auto count = [&](int &n, const Token &t, const char *what) {
            if (++n > 255) throw error(t, std::string("a painter block holds at most 255 ") + what);
        };
        if (tok_.kind == Tok::Open) {
            block([&] {
                Token t = tok_;
                std::string w = word();
                if (w == "action") {
                    count(nActions, t, "actions");
                    action(actions, t);
                } else if (w == "repaint") {
                    count(nRepaints, t, "repaints");
                    repaint(repaints);
                } else if (w == "fkey") {
                    count(nFkeys, t, "F-key names");
                    auto a = attributes({{"tag", 255}});
                    fkeys += static_cast<char>(attribute(a, "tag"));
                    utfString(fkeys);
                    endStatement();
                } else {
                    throw error(t, "expected action, repaint or fkey in a block");
                }
            });
        } else {
            endStatement();
        }
        out += static_cast<char>(attribute(attrs, "tag"));
        utfString(out, idToken, className);
        int32(out, id);
        out += static_cast<char>(attribute(attrs, "actions-tag"));
        out += static_cast<char>(nActions) + actions;
        out += static_cast<char>(attribute(attrs, "repaints-tag"));
        out += static_cast<char>(nRepaints) + repaints;
        out += static_cast<char>(attribute(attrs, "fkeys-tag"));
        out += static_cast<char>(nFkeys) + fkeys;
    }

    // A value source: [tag=N] TYPE payload.
    void source(std::string &out, SourceContext context)
    {
        auto attrs = attributes({{"tag", 255}});
        Token t = tok_;
        auto type = typeFromWord(word());
        if (!type) throw error(t, "unknown source type \"" + t.text + "\"");
        out += static_cast<char>(attribute(attrs, "tag"));
        if (version_ < kVersionD) {
            utfString(out);
            out += static_cast<char>(*type);
            return;
        }
        out += static_cast<char>(*type);
        if (*type == SourceType_COLOR) {
            colour(out);
        } else if (*type == SourceType_FONT) {
            utfString(out);
            byteField(out);
            byteField(out);
        } else if (!(context == SourceContext::Info && *type == SourceType_UNDEFINED && plc_ == 0 &&
                     version_ == kVersionD)) {
            utfString(out);
        }
    }

    void action(std::string &out, const Token &start)
    {
        int trigger = static_cast<int>(number(0, 255));
        int code = static_cast<int>(number(0, 255));
        auto attrs = attributes({{"extras-tag", 255}});
        std::string dest, src, extras, condition;
        bool hasDest = false, hasSource = false;
        int nExtras = 0, form = 0;
        block([&] {
            Token t = tok_;
            std::string w = word();
            if (w == "dest" && !hasDest) {
                source(dest, SourceContext::Info), hasDest = true;
            } else if (w == "source" && !hasSource) {
                source(src, SourceContext::Info), hasSource = true;
            } else if (w == "extra") {
                if (++nExtras > 255) throw error(t, "an action holds at most 255 extra sources");
                source(extras, SourceContext::Info);
            } else if (w == "when" && form == 0) {
                form = when(condition);
                return;
            } else {
                throw error(t, "expected dest, source, extra or when (dest, source and when once each)");
            }
            endStatement();
        });
        if (!hasDest || !hasSource) throw error(start, "an action needs a dest and a source");
        out += static_cast<char>(form);
        out += static_cast<char>(trigger);
        out += static_cast<char>(code);
        out += dest + src;
        out += static_cast<char>(attribute(attrs, "extras-tag"));
        out += static_cast<char>(nExtras) + extras + condition;
    }

    void repaint(std::string &out)
    {
        int code = static_cast<int>(number(0, 255));
        std::string info, condition;
        source(info, SourceContext::Info);
        int form = 0;
        if (tok_.kind == Tok::Open) {
            block([&] {
                Token t = tok_;
                if (word() != "when" || form != 0) throw error(t, "a repaint holds one when");
                form = when(condition);
            });
        } else {
            endStatement();
        }
        out += static_cast<char>(form);
        out += static_cast<char>(code);
        out += info + condition;
    }

    // when [form=N] compare ... | when [form=N] LOGIC {...}; answers the form.
    int when(std::string &out)
    {
        auto attrs = attributes({{"form", 255}});
        Token t = tok_;
        if (atWord("compare")) {
            advance();
            if (attribute(attrs, "form", 1) != 1) throw error(t, "a single comparison has form 1");
            comparison(out, false);
            return 1;
        }
        int form = static_cast<int>(attribute(attrs, "form", 2));
        if (form < 2) throw error(t, "a logic condition has form 2 or more");
        logicNode(out, false, 1);
        return form;
    }

    void comparison(std::string &out, bool withLead)
    {
        auto attrs = withLead ? attributes({{"lead", 255}, {"tag", 255}}) : attributes({{"tag", 255}});
        Token t = tok_;
        auto op = compareFromWord(word());
        if (!op) throw error(t, "unknown comparison \"" + t.text + "\"");
        if (withLead) out += static_cast<char>(attribute(attrs, "lead")), out += '\x01';
        out += static_cast<char>(attribute(attrs, "tag"));
        out += static_cast<char>(*op);
        source(out, SourceContext::Operand);
        source(out, SourceContext::Operand);
        endStatement();
    }

    void logicNode(std::string &out, bool withLead, int depth)
    {
        Token t = tok_;
        auto op = logicFromWord(word());
        if (!op) throw error(t, "unknown logic operator \"" + t.text + "\"");
        if (depth > kMaxConditionDepth)
            throw error(t, "conditions nest at most " + std::to_string(kMaxConditionDepth) + " levels deep");
        auto attrs = withLead ? attributes({{"lead", 255}, {"tag", 255}}) : attributes({{"tag", 255}});
        if (withLead) out += static_cast<char>(attribute(attrs, "lead")), out += '\x02';
        out += static_cast<char>(attribute(attrs, "tag"));
        out += static_cast<char>(*op);
        int n = 0;
        block([&] {
            if (++n > 2) throw error(tok_, "a logic node holds exactly two expressions");
            expression(out, depth);
        });
        if (n != 2) throw error(t, "a logic node holds exactly two expressions");
    }

    void expression(std::string &out, int depth)
    {
        Token t = tok_;
        if (atWord("compare")) {
            advance();
            comparison(out, true);
        } else if (atWord("empty")) {
            advance();
            auto attrs = attributes({{"lead", 255}, {"kind", 255}});
            int kind = static_cast<int>(attribute(attrs, "kind"));
            if (kind == 1 || kind == 2) throw error(t, "kinds 1 and 2 are compare and logic nodes");
            out += static_cast<char>(attribute(attrs, "lead"));
            out += static_cast<char>(kind);
            endStatement();
        } else if (tok_.kind == Tok::Word && logicFromWord(tok_.text)) {
            logicNode(out, true, depth + 1);
        } else {
            throw error(t, "expected compare, empty or a logic node");
        }
    }

    Lexer lexer_;
    Token tok_;
    int version_ = 'g';
    int plc_ = 0;
};

} // namespace

std::string buildTeq(const std::string &source) { return Builder(source).file(); }

std::string buildElements(const std::string &source, int version) { return Builder(source).elements(version); }

} // namespace teqc

// The TEQ text form printer: TEQ bytes in, text in normal form out. Reads the
// bytes the way the runtime's reader does; every element it prints is
// compiled back and compared, and shown as raw bytes when that does not give
// the same bytes.
#include <cstdint>
#include <cstdio>
#include <string>

#include "teq_text.h"
#include "teq_vocabulary.h"
#include "view/painter_loader.h"

namespace teqc {

namespace {

// Thrown where the bytes end or cannot be shown as structure.
struct Unstructured {};

class Cursor {
public:
    Cursor(const std::string &data, size_t pos, size_t end) : data_(data), pos_(pos), end_(end) {}

    size_t pos() const { return pos_; }
    size_t left() const { return end_ - pos_; }

    int byte()
    {
        if (pos_ >= end_) throw Unstructured();
        return static_cast<uint8_t>(data_[pos_++]);
    }

    std::string take(size_t n)
    {
        if (n > left()) throw Unstructured();
        std::string s = data_.substr(pos_, n);
        pos_ += n;
        return s;
    }

    uint32_t bigEndian(int bytes)
    {
        uint32_t v = 0;
        for (int i = 0; i < bytes; i++) v = v << 8 | static_cast<uint32_t>(byte());
        return v;
    }

    std::string shortString() { return take(static_cast<size_t>(byte())); }
    std::string utfString() { return take(bigEndian(2)); }

private:
    const std::string &data_;
    size_t pos_, end_;
};

std::string hex2(int value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string quote(const std::string &bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else out += "\\x" + hex2(c);
    }
    return out + "\"";
}

std::string pairText(Cursor &c)
{
    uint32_t v = c.bigEndian(3);
    std::string text = std::to_string(v >> 11 & 0x7FF) + "," + std::to_string(v & 0x7FF);
    if (v >> 22) text.append("/").append(std::to_string(v >> 22));
    return text;
}

std::string colourText(Cursor &c)
{
    int r = c.byte(), g = c.byte(), b = c.byte();
    return std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b);
}

std::string int32Text(Cursor &c) { return std::to_string(static_cast<int32_t>(c.bigEndian(4))); }

std::string attribute(const char *name, int value, int otherwise = 0)
{
    return value == otherwise ? "" : std::string(" ") + name + "=" + std::to_string(value);
}

std::string rawLines(const std::string &bytes, const std::string &indent)
{
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 16) {
        out += indent + "bytes";
        for (size_t k = i; k < i + 16 && k < bytes.size(); k++)
            out.append(" ").append(hex2(static_cast<unsigned char>(bytes[k])));
        out += "\n";
    }
    return out;
}

class Dumper {
public:
    explicit Dumper(const std::string &bytes) : data_(bytes) {}

    std::string run()
    {
        if (data_.empty() || data_[0] < 'c' || data_[0] > 'g')
            throw std::runtime_error("not a TEQ file of version c to g");
        version_ = static_cast<unsigned char>(data_[0]);
        std::string out = std::string("teq ") + data_[0] + "\n";
        size_t pos = 1;
        while (pos < data_.size()) {
            Cursor c(data_, pos, data_.size());
            try {
                std::string text = element(c);
                std::string original = data_.substr(pos, c.pos() - pos);
                out += rebuilds(text, original) ? text : rawLines(original, "");
                pos = c.pos();
            } catch (const Unstructured &) {
                out += rawLines(data_.substr(pos), "");
                break;
            }
        }
        return out;
    }

private:
    bool rebuilds(const std::string &text, const std::string &original) const
    {
        try {
            return buildElements(text, version_) == original;
        } catch (const TextError &) {
            return false;
        }
    }

    static std::string pad(int depth) { return std::string(static_cast<size_t>(depth) * 2, ' '); }

    std::string element(Cursor &c)
    {
        int code = c.byte();
        switch (code) {
        case 0x01: return "border off\n";
        case 0x02: return "border on\n";
        case 0x04: return "fill off\n";
        case 0x05: return "fill on\n";
        case 0x03: return "line-colour " + colourText(c) + "\n";
        case 0x06: return "fill-colour " + colourText(c) + "\n";
        case 0x16: return "background " + colourText(c) + "\n";
        case 0x0B: {
            std::string name = quote(c.shortString());
            int style = c.byte(), size = c.byte();
            return "font " + name + " " + std::to_string(style) + " " + std::to_string(size) + "\n";
        }
        case 0x10: return "page-size " + pairText(c) + "\n";
        case 0x1E: return "line-style " + std::to_string(c.byte()) + "\n";
        case 0x1F: return "line-width " + std::to_string(c.byte()) + "\n";
        case 0x1B: {
            int selector = c.byte();
            std::string which = selector == 1 ? "background" : selector == 0 ? "foreground" : std::to_string(selector);
            return "layer " + which + " " + quote(c.shortString()) + "\n";
        }
        case 0x17: return painter(c);
        default: return skippedElement(c, code);
        }
    }

    std::string skippedElement(Cursor &c, int code)
    {
        for (const ElementWord &e : kPlainElements)
            if (e.code == code) return std::string(e.word) + "\n";
        for (const SkippedElement &e : kSkippedElements) {
            if (e.code != code) continue;
            std::string text = e.word;
            for (const char *f = e.fields; *f; f++) {
                if (*f == 'p') text.append(" ").append(pairText(c));
                if (*f == 'f') {
                    char hex[16];
                    std::snprintf(hex, sizeof hex, "0x%08X", c.bigEndian(4));
                    text.append(" ").append(hex);
                }
                if (*f == 'b') text.append(" ").append(std::to_string(c.byte()));
                if (*f == 's') text.append(" ").append(quote(c.shortString()));
            }
            return text + "\n";
        }
        throw Unstructured();
    }

    std::string painter(Cursor &c)
    {
        std::string header = "painter ";
        std::string at = pairText(c), size = pairText(c);
        std::string className = c.shortString(), fallback = c.shortString();
        header += quote(className) + " at " + at + " size " + size;
        if (!fallback.empty()) header += " fallback " + quote(fallback);
        plc_ = 0;
        if (version_ >= kVersionD) {
            plc_ = c.byte();
            header += " plc " + std::to_string(plc_);
        }
        auto length = static_cast<int32_t>(c.bigEndian(4));
        size_t bodyStart = c.pos();
        std::string body;
        if (PA_findLoader(className.c_str())) body = knownBody(c, bodyOf(className));
        else if (PA_findLoader(fallback.c_str())) body = knownBody(c, bodyOf(fallback));
        else body = unknownBody(c, className, length);
        if (static_cast<int64_t>(c.pos() - bodyStart) != length) header += " length " + std::to_string(length);
        if (body.empty()) return header + "\n";
        return header + " {\n" + body + "}\n";
    }

    std::string unknownBody(Cursor &c, const std::string &className, int32_t length)
    {
        if (length <= 0) return "";
        std::string bytes = c.take(static_cast<size_t>(length));
        if (bodyOf(className) == Body::Block) {
            Cursor inner(bytes, 0, bytes.size());
            try {
                std::string text = painterBlock(inner, 1);
                if (inner.left() == 0) return text;
            } catch (const Unstructured &) {
            }
        }
        return rawLines(bytes, pad(1));
    }

    std::string knownBody(Cursor &c, Body body)
    {
        std::string text;
        bool withBlock = body == Body::Block || body == Body::Polygon ||
                         ((body == Body::BlockFromD || body == Body::Line) && version_ >= kVersionD);
        if (withBlock) text += painterBlock(c, 1);
        switch (body) {
        case Body::Line: {
            std::string x = int32Text(c);
            text += pad(1) + "start " + x + " " + int32Text(c) + "\n";
            break;
        }
        case Body::Polygon:
        case Body::Points: text += points(c); break;
        case Body::Text: {
            std::string t = quote(c.utfString());
            std::string a = int32Text(c);
            text += pad(1) + "text " + t + " " + a + " " + int32Text(c) + "\n";
            break;
        }
        case Body::Unknown: throw Unstructured();
        default: break;
        }
        return text;
    }

    std::string points(Cursor &c)
    {
        uint32_t count = c.bigEndian(4);
        uint32_t n = count & 0xFFFF;
        std::string text = pad(1) + "points" + (count != n ? " count=" + std::to_string(count) : "");
        if (n <= 8) {
            for (uint32_t i = 0; i < n; i++) text.append(" ").append(pairText(c));
            return text + "\n";
        }
        text += " {\n";
        for (uint32_t i = 0; i < n; i += 8) {
            text += pad(2);
            for (uint32_t k = i; k < i + 8 && k < n; k++) text.append(k == i ? "" : " ").append(pairText(c));
            text += "\n";
        }
        return text + pad(1) + "}\n";
    }

    std::string painterBlock(Cursor &c, int depth)
    {
        int tag = c.byte();
        std::string className = quote(c.utfString());
        std::string id = int32Text(c);
        std::string items;
        int actionsTag = c.byte(), actions = c.byte();
        for (int i = 0; i < actions; i++) items += action(c, depth + 1);
        int repaintsTag = c.byte(), repaints = c.byte();
        for (int i = 0; i < repaints; i++) items += repaint(c, depth + 1);
        int fkeysTag = c.byte(), fkeys = c.byte();
        for (int i = 0; i < fkeys; i++) {
            int fkeyTag = c.byte();
            items += pad(depth + 1) + "fkey" + attribute("tag", fkeyTag) + " " + quote(c.utfString()) + "\n";
        }
        std::string head = pad(depth) + "block " + className + " id " + id + attribute("tag", tag) +
                           attribute("actions-tag", actionsTag) + attribute("repaints-tag", repaintsTag) +
                           attribute("fkeys-tag", fkeysTag);
        if (items.empty()) return head + "\n";
        return head + " {\n" + items + pad(depth) + "}\n";
    }

    std::string action(Cursor &c, int depth)
    {
        int form = c.byte(), trigger = c.byte(), code = c.byte();
        std::string items = pad(depth + 1) + "dest " + source(c, false) + "\n";
        items += pad(depth + 1) + "source " + source(c, false) + "\n";
        int extrasTag = c.byte(), extras = c.byte();
        for (int i = 0; i < extras; i++) items += pad(depth + 1) + "extra " + source(c, false) + "\n";
        items += condition(c, form, depth + 1);
        return pad(depth) + "action " + std::to_string(trigger) + " " + std::to_string(code) +
               attribute("extras-tag", extrasTag) + " {\n" + items + pad(depth) + "}\n";
    }

    std::string repaint(Cursor &c, int depth)
    {
        int form = c.byte(), code = c.byte();
        std::string head = pad(depth) + "repaint " + std::to_string(code) + " " + source(c, false);
        if (form == 0) return head + "\n";
        return head + " {\n" + condition(c, form, depth + 1) + pad(depth) + "}\n";
    }

    // A value source as the reader reads it; operand: inside a condition.
    std::string source(Cursor &c, bool operand)
    {
        std::string text = attribute("tag", c.byte());
        if (!text.empty()) text = text.substr(1) + " ";
        if (version_ < kVersionD) {
            std::string name = quote(c.utfString());
            return text + typeWord(c.byte()) + " " + name;
        }
        int type = c.byte();
        text += typeWord(type);
        if (type == SourceType_COLOR) return text + " " + colourText(c);
        if (type == SourceType_FONT) {
            std::string name = quote(c.utfString());
            int style = c.byte();
            return text + " " + name + " " + std::to_string(style) + " " + std::to_string(c.byte());
        }
        if (!operand && type == SourceType_UNDEFINED && plc_ == 0 && version_ == kVersionD) return text;
        return text + " " + quote(c.utfString());
    }

    std::string condition(Cursor &c, int form, int depth)
    {
        if (form == 0) return "";
        if (form == 1) return pad(depth) + "when " + comparison(c, -1) + "\n";
        return pad(depth) + "when" + attribute("form", form, 2) + " " + logicNode(c, -1, depth, 1);
    }

    std::string comparison(Cursor &c, int lead)
    {
        int tag = c.byte(), op = c.byte();
        std::string left = source(c, true);
        std::string right = source(c, true);
        return "compare" + (lead < 0 ? "" : attribute("lead", lead)) + attribute("tag", tag) + " " + compareWord(op) +
               " " + left + " " + right;
    }

    // Prints a logic node from its operator word on, ending with its "}" line.
    std::string logicNode(Cursor &c, int lead, int depth, int level)
    {
        if (level > kMaxConditionDepth) throw Unstructured();
        int tag = c.byte(), op = c.byte();
        std::string head = logicWord(op) + (lead < 0 ? "" : attribute("lead", lead)) + attribute("tag", tag) + " {\n";
        std::string left = expression(c, depth + 1, level);
        std::string right = expression(c, depth + 1, level);
        return head + left + right + pad(depth) + "}\n";
    }

    std::string expression(Cursor &c, int depth, int level)
    {
        int lead = c.byte(), kind = c.byte();
        if (kind == 1) return pad(depth) + comparison(c, lead) + "\n";
        if (kind == 2) return pad(depth) + logicNode(c, lead, depth, level + 1);
        return pad(depth) + "empty" + attribute("lead", lead) + attribute("kind", kind) + "\n";
    }

    const std::string &data_;
    int version_ = 0;
    int plc_ = 0;
};

} // namespace

std::string dumpTeq(const std::string &bytes) { return Dumper(bytes).run(); }

} // namespace teqc

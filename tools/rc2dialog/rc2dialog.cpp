// rc2dialog: compiles the DIALOGEX resources of a Windows resource script into a C++ table of
// DialogTemplate records (platform/dialog_template.h), so that the Linux window layer builds
// its dialogs from the very script the Windows resource compiler reads.
//
// Usage: rc2dialog input.rc output.cpp
//
// Understood: // and /* */ comments; #include "file" (carried into the output so that ids
// and style names resolve; <system> includes are dropped, win32.h stands in for them); other
// preprocessor lines are skipped; `name DIALOGEX x, y, cx, cy [, helpId]` with STYLE,
// EXSTYLE, CAPTION and FONT, and a BEGIN/END (or { }) block of generic CONTROL statements.
// Numeric expressions (ids, styles) are copied as C++ expressions; the C++ compiler
// evaluates them against win32.h and the script's own headers.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum class TokenKind { Word, Number, String, Punct, End };

struct Token {
    TokenKind kind;
    std::string text;  // a String's decoded contents; otherwise the spelling
    int line;
};

struct Control {
    std::string text, id, className, style, exStyle = "0";
    std::string x, y, cx, cy;
};

struct Dialog {
    std::string id, x, y, cx, cy;
    std::string style = "0", exStyle = "0", caption, fontFace;
    std::string pointSize = "0", weight = "0", italic = "0", charset = "0";
    std::vector<Control> controls;
};

struct Script {
    std::vector<std::string> includes;
    std::vector<Dialog> dialogs;
};

std::string inputName;

[[noreturn]] void Fail(int line, const std::string& message) {
    std::fprintf(stderr, "%s:%d: %s\n", inputName.c_str(), line, message.c_str());
    std::exit(1);
}

bool IsWordStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsWordChar(char c) {
    return IsWordStart(c) || (c >= '0' && c <= '9');
}

// Decodes a resource-script string literal starting at source[i] == '"'; a doubled quote
// stands for one quote, and the usual backslash escapes are understood.
std::string ReadString(const std::string& source, size_t& i, int line) {
    std::string value;
    ++i;
    for (;;) {
        if (i >= source.size() || source[i] == '\n') Fail(line, "unterminated string");
        const char c = source[i++];
        if (c == '"') {
            if (i < source.size() && source[i] == '"') {
                value += '"';
                ++i;
                continue;
            }
            return value;
        }
        if (c == '\\' && i < source.size()) {
            const char e = source[i++];
            switch (e) {
                case 'n': value += '\n'; break;
                case 'r': value += '\r'; break;
                case 't': value += '\t'; break;
                case 'a': value += '\a'; break;
                case '\\': value += '\\'; break;
                case '"': value += '"'; break;
                default: Fail(line, std::string("unknown escape \\") + e);
            }
            continue;
        }
        value += c;
    }
}

// Splits the script into tokens; include lines go to `includes`.
std::vector<Token> Tokenize(const std::string& source, std::vector<std::string>& includes) {
    std::vector<Token> tokens;
    int line = 1;
    bool lineStart = true;
    size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        if (c == '\n') {
            ++line;
            lineStart = true;
            ++i;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            while (i < source.size() && source[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < source.size() && source[i + 1] == '*') {
            const size_t close = source.find("*/", i + 2);
            if (close == std::string::npos) Fail(line, "unterminated comment");
            for (size_t k = i; k < close; ++k) line += source[k] == '\n';
            i = close + 2;
            continue;
        }
        if (c == '#' && lineStart) {
            size_t end = source.find('\n', i);
            if (end == std::string::npos) end = source.size();
            std::istringstream directive(source.substr(i + 1, end - i - 1));
            std::string keyword, operand;
            directive >> keyword >> operand;
            if (keyword == "include" && operand.size() > 2 && operand.front() == '"') {
                includes.push_back(operand.substr(1, operand.size() - 2));
            }
            i = end;
            continue;
        }
        lineStart = false;
        if (c == '"') {
            tokens.push_back({TokenKind::String, ReadString(source, i, line), line});
        } else if (IsWordStart(c)) {
            const size_t start = i;
            while (i < source.size() && IsWordChar(source[i])) ++i;
            tokens.push_back({TokenKind::Word, source.substr(start, i - start), line});
        } else if (c >= '0' && c <= '9') {
            const size_t start = i;
            while (i < source.size() && IsWordChar(source[i])) ++i;
            tokens.push_back({TokenKind::Number, source.substr(start, i - start), line});
        } else if (c == ',' || c == '|' || c == '(' || c == ')' || c == '{' || c == '}' ||
                   c == '~' || c == '-' || c == '+') {
            tokens.push_back({TokenKind::Punct, std::string(1, c), line});
            ++i;
        } else {
            Fail(line, std::string("unexpected character '") + c + "'");
        }
    }
    tokens.push_back({TokenKind::End, "", line});
    return tokens;
}

struct Parser {
    std::vector<Token> tokens;
    size_t at = 0;

    const Token& Peek() const { return tokens[at]; }
    const Token& Next() { return tokens[at < tokens.size() - 1 ? at++ : at]; }
    bool PeekPunct(const char* p) const {
        return Peek().kind == TokenKind::Punct && Peek().text == p;
    }
    bool PeekWord(const char* w) const {
        return Peek().kind == TokenKind::Word && Peek().text == w;
    }
};

void ExpectComma(Parser& p) {
    if (!p.PeekPunct(",")) Fail(p.Peek().line, "',' expected before '" + p.Peek().text + "'");
    p.Next();
}

std::string ReadStringToken(Parser& p) {
    if (p.Peek().kind != TokenKind::String) Fail(p.Peek().line, "string expected");
    return p.Next().text;
}

// operand := [~ | - | +] (word | number | '(' expression ')')
std::string ReadOperand(Parser& p) {
    std::string text;
    while (p.PeekPunct("~") || p.PeekPunct("-") || p.PeekPunct("+")) text += p.Next().text;
    const Token& t = p.Peek();
    if (t.kind == TokenKind::Word && t.text == "NOT") Fail(t.line, "NOT is not supported");
    if (t.kind == TokenKind::Word || t.kind == TokenKind::Number) return text + p.Next().text;
    if (p.PeekPunct("(")) {
        p.Next();
        std::string inner = ReadOperand(p);
        while (p.PeekPunct("|") || p.PeekPunct("+") || p.PeekPunct("-")) {
            inner += " " + p.Next().text + " ";
            inner += ReadOperand(p);
        }
        if (!p.PeekPunct(")")) Fail(p.Peek().line, "')' expected");
        p.Next();
        return text + "(" + inner + ")";
    }
    Fail(t.line, "number or name expected, found '" + t.text + "'");
}

// expression := operand { ('|' | '+' | '-') operand }; ends where no operator follows.
std::string ReadExpression(Parser& p) {
    std::string text = ReadOperand(p);
    while (p.PeekPunct("|") || p.PeekPunct("+") || p.PeekPunct("-")) {
        text += " " + p.Next().text + " ";  // the operator, then its operand: two steps
        text += ReadOperand(p);
    }
    return text;
}

Control ReadControl(Parser& p) {
    Control control;
    control.text = ReadStringToken(p);
    ExpectComma(p);
    control.id = ReadExpression(p);
    ExpectComma(p);
    control.className = ReadStringToken(p);
    ExpectComma(p);
    control.style = ReadExpression(p);
    ExpectComma(p);
    control.x = ReadExpression(p);
    ExpectComma(p);
    control.y = ReadExpression(p);
    ExpectComma(p);
    control.cx = ReadExpression(p);
    ExpectComma(p);
    control.cy = ReadExpression(p);
    if (p.PeekPunct(",")) {
        p.Next();
        control.exStyle = ReadExpression(p);
        if (p.PeekPunct(",")) {  // help id: not kept
            p.Next();
            ReadExpression(p);
        }
    }
    return control;
}

Dialog ReadDialog(Parser& p, const std::string& id) {
    Dialog dialog;
    dialog.id = id;
    dialog.x = ReadExpression(p);
    ExpectComma(p);
    dialog.y = ReadExpression(p);
    ExpectComma(p);
    dialog.cx = ReadExpression(p);
    ExpectComma(p);
    dialog.cy = ReadExpression(p);
    if (p.PeekPunct(",")) {  // help id: not kept
        p.Next();
        ReadExpression(p);
    }
    for (;;) {
        const Token& t = p.Peek();
        if (t.kind != TokenKind::Word && !p.PeekPunct("{")) Fail(t.line, "statement expected");
        if (p.PeekWord("BEGIN") || p.PeekPunct("{")) {
            p.Next();
            break;
        }
        p.Next();
        if (t.text == "STYLE") {
            dialog.style = ReadExpression(p);
        } else if (t.text == "EXSTYLE") {
            dialog.exStyle = ReadExpression(p);
        } else if (t.text == "CAPTION") {
            dialog.caption = ReadStringToken(p);
        } else if (t.text == "FONT") {
            dialog.pointSize = ReadExpression(p);
            ExpectComma(p);
            dialog.fontFace = ReadStringToken(p);
            if (p.PeekPunct(",")) {
                p.Next();
                dialog.weight = ReadExpression(p);
                ExpectComma(p);
                dialog.italic = ReadExpression(p);
                ExpectComma(p);
                dialog.charset = ReadExpression(p);
            }
        } else {
            Fail(t.line, "unsupported dialog statement " + t.text);
        }
    }
    for (;;) {
        if (p.PeekWord("END") || p.PeekPunct("}")) {
            p.Next();
            return dialog;
        }
        if (!p.PeekWord("CONTROL")) {
            Fail(p.Peek().line, "CONTROL or END expected, found '" + p.Peek().text + "'");
        }
        p.Next();
        dialog.controls.push_back(ReadControl(p));
    }
}

Script Parse(const std::string& source) {
    Script script;
    Parser p;
    p.tokens = Tokenize(source, script.includes);
    while (p.Peek().kind != TokenKind::End) {
        const Token& name = p.Next();
        if (name.kind != TokenKind::Word && name.kind != TokenKind::Number) {
            Fail(name.line, "resource name expected");
        }
        if (!p.PeekWord("DIALOGEX")) Fail(p.Peek().line, "only DIALOGEX resources are supported");
        p.Next();
        script.dialogs.push_back(ReadDialog(p, name.text));
    }
    return script;
}

// A C++ string literal with the same bytes as `value`.
std::string Quote(const std::string& value) {
    std::string text = "\"";
    for (const char byte : value) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += byte;
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", c);
            text += escape;
        } else {
            text += byte;
        }
    }
    return text + "\"";
}

std::string Generate(const Script& script) {
    std::ostringstream out;
    const size_t slash = inputName.find_last_of("/\\");
    const std::string baseName =
        slash == std::string::npos ? inputName : inputName.substr(slash + 1);
    out << "// Generated by rc2dialog from " << baseName << "; do not edit.\n";
    out << "#include \"dialog_template.h\"\n";
    for (const std::string& include : script.includes) out << "#include \"" << include << "\"\n";
    out << "\nnamespace {\n";
    for (size_t d = 0; d < script.dialogs.size(); ++d) {
        out << "const DialogItemTemplate kItems" << d << "[] = {\n";
        for (const Control& c : script.dialogs[d].controls) {
            // The resource compiler gives every CONTROL these two styles.
            out << "    {" << Quote(c.className) << ", static_cast<WORD>(" << c.id << "), "
                << Quote(c.text) << ", static_cast<DWORD>(WS_CHILD | WS_VISIBLE | (" << c.style
                << ")), static_cast<DWORD>(" << c.exStyle << "), " << c.x << ", " << c.y << ", "
                << c.cx << ", " << c.cy << "},\n";
        }
        out << "};\n";
    }
    out << "}  // namespace\n\nconst DialogTemplate DialogTemplates[] = {\n";
    for (size_t d = 0; d < script.dialogs.size(); ++d) {
        const Dialog& g = script.dialogs[d];
        out << "    {static_cast<WORD>(" << g.id << "), " << Quote(g.caption)
            << ", static_cast<DWORD>(" << g.style << "), static_cast<DWORD>(" << g.exStyle << "), "
            << g.x << ", " << g.y << ", " << g.cx << ", " << g.cy << ", " << Quote(g.fontFace)
            << ", " << g.pointSize << ", " << g.weight << ", " << g.italic << ", " << g.charset
            << ", kItems" << d << ", " << g.controls.size() << "},\n";
    }
    out << "};\nconst int DialogTemplateCount = " << script.dialogs.size() << ";\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: rc2dialog input.rc output.cpp\n");
        return 2;
    }
    inputName = argv[1];
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "rc2dialog: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream source;
    source << input.rdbuf();
    const Script script = Parse(source.str());
    if (script.dialogs.empty()) Fail(1, "no DIALOGEX resource found");
    const std::string generated = Generate(script);
    std::ofstream output(argv[2], std::ios::binary);
    output << generated;
    if (!output.flush()) {
        std::fprintf(stderr, "rc2dialog: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

#include "browser/bkjson.h"

#include <cwchar>

namespace BkJson {

static_assert(sizeof(long) == 4, "JSON numbers and error fields are 32-bit");

namespace {

bool IsBlank(wchar_t c)
{
    return c == L'\t' || c == L'\n' || c == L'\r' || c == L' ';
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

void AppendBlanks(std::wstring& out, int count)
{
    if (count > 0) out.append(static_cast<size_t>(count), L' ');
}

// Keeps the nesting count right on every way out of a container parser.
class DepthGuard {
public:
    explicit DepthGuard(Reader& reader) : m_reader(reader), m_entered(reader.Enter()) {}
    ~DepthGuard() { if (m_entered) m_reader.Leave(); }
    bool Entered() const { return m_entered; }

private:
    Reader& m_reader;
    bool m_entered;
};

// Parses a freshly created element; a failure that the element did not
// explain is reported as a missing value where it began.
bool ParseElement(Reader& reader, Value* value, const wchar_t* start)
{
    if (value->Parse(reader)) return true;
    if (!reader.GetError().IsRecorded()) reader.FailAt(ERR_VALUE_EXPECTED, start);
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// Reader

Reader::Reader(const wchar_t* text, size_t length)
    : m_text(text), m_pos(text), m_end(text + length)
{
}

void Reader::Advance(size_t count)
{
    m_pos = (count < Remaining()) ? m_pos + count : m_end;
}

void Reader::SkipBlanks()
{
    while (m_pos < m_end && IsBlank(*m_pos)) ++m_pos;
}

bool Reader::StartsWith(const wchar_t* word) const
{
    size_t n = wcslen(word);
    return n <= Remaining() && wmemcmp(m_pos, word, n) == 0;
}

bool Reader::FailAt(long code, const wchar_t* at)
{
    if (at < m_text) at = m_text;
    if (at > m_end) at = m_end;
    long line = 1;
    const wchar_t* lineStart = m_text;
    for (const wchar_t* p = m_text; p < at; ++p) {
        if (*p == L'\n') {
            ++line;
            lineStart = p + 1;
        }
    }
    m_error.code = code;
    m_error.line = line;
    m_error.column = static_cast<long>(at - lineStart) + 1;
    m_errorOffset = static_cast<size_t>(at - m_text);
    return false;
}

bool Reader::Enter()
{
    if (m_depth >= kMaxDepth) return Fail(ERR_TOO_DEEP);
    ++m_depth;
    return true;
}

// ---------------------------------------------------------------------------
// Handle

const Handle& Handle::Null()
{
    static const Handle s_null;
    return s_null;
}

void Handle::ReplaceValue(Value* fresh)
{
    Value* owner = m_value->m_owner;
    if (owner->Kind() == KIND_OBJECT)
        static_cast<ValueObject*>(owner)->Replace(m_value, fresh);
    else
        static_cast<ValueArray*>(owner)->Replace(m_value, fresh);
    m_owner = owner;
    m_value = fresh;
}

Handle Handle::operator[](const wchar_t* key)
{
    if (!m_value || !key) return Null();
    if (m_value->Kind() != KIND_OBJECT) {
        if (!m_value->m_owner) return Null();
        ReplaceValue(new ValueObject);
    }
    ValueObject* object = static_cast<ValueObject*>(m_value);
    Value* member = object->Find(key);
    if (!member) {
        member = new ValueNull;
        object->Set(key, member);
    }
    return Handle(object, member);
}

bool Handle::HasKey(const wchar_t* key) const
{
    return key && m_value && m_value->Kind() == KIND_OBJECT &&
           static_cast<const ValueObject*>(m_value)->Find(key) != nullptr;
}

const wchar_t* Handle::GetString() const
{
    if (!m_value || m_value->Kind() != KIND_STRING) return nullptr;
    return static_cast<const ValueString*>(m_value)->m_string.c_str();
}

long Handle::GetLong() const
{
    if (!m_value || m_value->Kind() != KIND_LONG) return 0;
    return static_cast<const ValueLong*>(m_value)->m_long;
}

bool Handle::GetBool() const
{
    if (!m_value || m_value->Kind() != KIND_BOOL) return false;
    return static_cast<const ValueBool*>(m_value)->m_bool;
}

ValueKind Handle::GetKind() const
{
    return m_value ? m_value->Kind() : KIND_NONE;
}

size_t Handle::GetCount() const
{
    if (!m_value) return 0;
    if (m_value->Kind() == KIND_ARRAY) return static_cast<const ValueArray*>(m_value)->Count();
    if (m_value->Kind() == KIND_OBJECT) return static_cast<const ValueObject*>(m_value)->Count();
    return 0;
}

Handle Handle::At(size_t index) const
{
    if (!m_value || m_value->Kind() != KIND_ARRAY) return Null();
    Value* item = static_cast<const ValueArray*>(m_value)->At(index);
    return item ? Handle(m_value, item) : Null();
}

void Handle::SetString(const wchar_t* text)
{
    if (!m_owner || !m_value || !m_value->m_owner) return;
    if (m_value->Kind() != KIND_STRING) ReplaceValue(new ValueString);
    static_cast<ValueString*>(m_value)->m_string = text ? text : L"";
}

void Handle::SetLong(long number)
{
    if (!m_owner || !m_value || !m_value->m_owner) return;
    if (m_value->Kind() != KIND_LONG) ReplaceValue(new ValueLong);
    static_cast<ValueLong*>(m_value)->m_long = number;
}

// ---------------------------------------------------------------------------
// Value creation

Value* Value::Create(ValueKind kind)
{
    switch (kind) {
    case KIND_NULL: return new ValueNull;
    case KIND_OBJECT: return new ValueObject;
    case KIND_BOOL: return new ValueBool;
    case KIND_STRING: return new ValueString;
    case KIND_LONG: return new ValueLong;
    case KIND_ARRAY: return new ValueArray;
    default: return nullptr;
    }
}

Value* Value::CreateFromNext(Reader& reader)
{
    reader.SkipBlanks();
    wchar_t c = reader.Peek();
    if (c == L'"') return new ValueString;
    if (c == L'-' || (c >= L'0' && c <= L'9')) return new ValueLong;
    if (c == L'[') return new ValueArray;
    if (c == L't' || c == L'f') return new ValueBool;
    if (c == L'n') return new ValueNull;
    if (c == L'{') return new ValueObject;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Scalars

bool ValueNull::Parse(Reader& reader)
{
    if (!reader.StartsWith(L"null")) return false;
    reader.Advance(4);
    return true;
}

void ValueNull::Write(std::wstring& out, bool, int, int) const
{
    out += L"null";
}

bool ValueBool::Parse(Reader& reader)
{
    if (reader.StartsWith(L"true")) {
        m_bool = true;
        reader.Advance(4);
        return true;
    }
    if (reader.StartsWith(L"false")) {
        m_bool = false;
        reader.Advance(5);
        return true;
    }
    return false;
}

void ValueBool::Write(std::wstring& out, bool, int, int) const
{
    out += m_bool ? L"true" : L"false";
}

bool ValueLong::Parse(Reader& reader)
{
    bool negative = false;
    if (reader.Peek() == L'-') {
        negative = true;
        reader.Advance();
        if (reader.AtEnd()) return reader.Fail(ERR_MINUS_AT_END);
    }
    // The magnitude is kept in 64 bits and checked against the 32-bit range
    // at every digit, so a long run of digits cannot overflow.
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    long long magnitude = 0;
    bool anyDigit = false;
    for (wchar_t c = reader.Peek(); c >= L'0' && c <= L'9'; c = reader.Peek()) {
        magnitude = magnitude * 10 + (c - L'0');
        if (magnitude > limit) return reader.Fail(ERR_NUMBER_RANGE);
        anyDigit = true;
        reader.Advance();
    }
    if (!anyDigit) return false;
    m_long = static_cast<long>(negative ? -magnitude : magnitude);
    return true;
}

void ValueLong::Write(std::wstring& out, bool, int, int) const
{
    out += std::to_wstring(m_long);
}

// ---------------------------------------------------------------------------
// Strings

namespace {

// Reads the four hexadecimal digits after the "u" at the reader's position
// into `unit`; the reader is left after them.
bool ReadUnicodeEscape(Reader& reader, wchar_t& unit)
{
    const wchar_t* u = reader.Position();
    if (reader.Remaining() < 5) {
        reader.Advance(reader.Remaining());
        return reader.Fail(ERR_UNTERMINATED);
    }
    unsigned value = 0;
    for (int i = 1; i <= 4; ++i) {
        int digit = HexDigit(u[i]);
        if (digit < 0) return reader.FailAt(ERR_BAD_ESCAPE, u);
        value = value * 16 + static_cast<unsigned>(digit);
    }
    if (value == 0) return reader.FailAt(ERR_BAD_ESCAPE, u);
    reader.Advance(5);
    unit = static_cast<wchar_t>(value);
    return true;
}

} // namespace

bool ValueString::ParseQuoted(Reader& reader, std::wstring& text)
{
    reader.SkipBlanks();
    if (reader.Peek() != L'"' || reader.AtEnd()) return reader.Fail(ERR_QUOTE_EXPECTED);
    reader.Advance();
    text.clear();
    for (;;) {
        if (reader.AtEnd()) return reader.Fail(ERR_UNTERMINATED);
        const wchar_t* at = reader.Position();
        wchar_t c = *at;
        if (c == L'"') {
            reader.Advance();
            return true;
        }
        if (c != L'\\') {
            // Text from script may hold half a surrogate pair; passing it on
            // would hand malformed UTF-16 to every later conversion.
            if (IsHighSurrogate(c)) {
                if (reader.Remaining() < 2) {
                    reader.Advance();
                    return reader.Fail(ERR_UNTERMINATED);
                }
                if (!IsLowSurrogate(at[1])) return reader.FailAt(ERR_BAD_SURROGATE, at);
                text.append(at, 2);
                reader.Advance(2);
                continue;
            }
            if (IsLowSurrogate(c)) return reader.FailAt(ERR_BAD_SURROGATE, at);
            text += c;
            reader.Advance();
            continue;
        }

        reader.Advance();
        if (reader.AtEnd()) return reader.Fail(ERR_UNTERMINATED);
        const wchar_t* escape = reader.Position();
        switch (*escape) {
        case L'"': text += L'"'; break;
        case L'/': text += L'/'; break;
        case L'\\': text += L'\\'; break;
        case L'b': text += L'\b'; break;
        case L'f': text += L'\f'; break;
        case L'n': text += L'\n'; break;
        case L'r': text += L'\r'; break;
        case L't': text += L'\t'; break;
        case L'u': {
            wchar_t unit = 0;
            if (!ReadUnicodeEscape(reader, unit)) return false;
            if (IsLowSurrogate(unit)) return reader.FailAt(ERR_BAD_ESCAPE, escape);
            if (IsHighSurrogate(unit)) {
                // Only a following \u escape of a low surrogate completes it.
                if (!reader.StartsWith(L"\\u")) {
                    if (reader.AtEnd()) return reader.Fail(ERR_UNTERMINATED);
                    return reader.FailAt(ERR_BAD_ESCAPE, escape);
                }
                reader.Advance();
                wchar_t low = 0;
                if (!ReadUnicodeEscape(reader, low)) return false;
                if (!IsLowSurrogate(low)) return reader.FailAt(ERR_BAD_ESCAPE, escape);
                text += unit;
                text += low;
            } else {
                text += unit;
            }
            continue;  // the escape reader has already moved past the digits
        }
        default:
            return reader.FailAt(ERR_BAD_ESCAPE, escape);
        }
        reader.Advance();
    }
}

bool ValueString::Parse(Reader& reader)
{
    return ParseQuoted(reader, m_string);
}

void ValueString::WriteQuoted(std::wstring& out, const std::wstring& text)
{
    static const wchar_t kHex[] = L"0123456789abcdef";
    out += L'"';
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\0') break;
        switch (c) {
        case L'\b': out += L"\\b"; continue;
        case L'\t': out += L"\\t"; continue;
        case L'\n': out += L"\\n"; continue;
        case L'\f': out += L"\\f"; continue;
        case L'\r': out += L"\\r"; continue;
        case L'"': out += L"\\\""; continue;
        case L'/': out += L"\\/"; continue;
        case L'\\': out += L"\\\\"; continue;
        default: break;
        }
        bool pairHigh = IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
        bool pairLow = IsLowSurrogate(c) && i > 0 && IsHighSurrogate(text[i - 1]);
        bool lone = (IsHighSurrogate(c) && !pairHigh) || (IsLowSurrogate(c) && !pairLow);
        // Control and Latin-1 units are escaped; a lone surrogate (only
        // native code can store one) is escaped too so the text stays
        // well-formed UTF-16.
        if (c < 32 || (c >= 127 && c <= 255) || lone) {
            out += L"\\u";
            out += kHex[(c >> 12) & 0xF];
            out += kHex[(c >> 8) & 0xF];
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    out += L'"';
}

void ValueString::Write(std::wstring& out, bool, int, int) const
{
    WriteQuoted(out, m_string);
}

// ---------------------------------------------------------------------------
// Objects

ValueObject::~ValueObject()
{
    Clear();
}

void ValueObject::Clear()
{
    for (auto& member : m_members) delete member.second;
    m_members.clear();
}

Value* ValueObject::Find(const wchar_t* key) const
{
    auto it = m_members.find(key);
    return it == m_members.end() ? nullptr : it->second;
}

void ValueObject::Set(const std::wstring& key, Value* value)
{
    auto it = m_members.find(key);
    if (it == m_members.end()) {
        it = m_members.emplace(key, value).first;
    } else {
        delete it->second;
        it->second = value;
    }
    value->m_owner = this;
    value->m_node = it;
}

void ValueObject::Replace(Value* old, Value* fresh)
{
    MemberMap::iterator node = old->m_node;
    node->second = fresh;
    fresh->m_owner = this;
    fresh->m_node = node;
    delete old;
}

bool ValueObject::Parse(Reader& reader)
{
    reader.SkipBlanks();
    if (reader.Peek() != L'{' || reader.AtEnd()) return reader.Fail(ERR_OBJECT_EXPECTED);
    DepthGuard depth(reader);
    if (!depth.Entered()) return false;
    reader.Advance();
    reader.SkipBlanks();
    if (reader.Peek() == L'}' && !reader.AtEnd()) {
        reader.Advance();
        return true;
    }
    std::wstring key;
    if (!ValueString::ParseQuoted(reader, key)) return false;
    for (;;) {
        reader.SkipBlanks();
        if (reader.Peek() != L':' || reader.AtEnd()) return reader.Fail(ERR_COLON_EXPECTED);
        reader.Advance();
        Value* value = CreateFromNext(reader);
        if (!value) return reader.Fail(ERR_VALUE_EXPECTED);
        if (!ParseElement(reader, value, reader.Position())) {
            delete value;
            return false;
        }
        Set(key, value);
        reader.SkipBlanks();
        wchar_t c = reader.AtEnd() ? L'\0' : reader.Peek();
        if (c == L'}') {
            reader.Advance();
            return true;
        }
        if (c != L',') return reader.Fail(ERR_COMMA_EXPECTED);
        reader.Advance();
        if (!ValueString::ParseQuoted(reader, key)) return false;
    }
}

void ValueObject::Write(std::wstring& out, bool pretty, int indent, int step) const
{
    out += L'{';
    if (pretty) out += L"\r\n";
    size_t left = m_members.size();
    for (const auto& member : m_members) {
        if (pretty) AppendBlanks(out, indent + step);
        ValueString::WriteQuoted(out, member.first);
        out += pretty ? L" : " : L":";
        member.second->Write(out, pretty, indent + step, step);
        if (--left) out += L',';
        if (pretty) out += L"\r\n";
    }
    if (pretty) AppendBlanks(out, indent);
    out += L'}';
}

// ---------------------------------------------------------------------------
// Arrays

ValueArray::~ValueArray()
{
    Clear();
}

void ValueArray::Clear()
{
    for (Value* item : m_items) delete item;
    m_items.clear();
}

void ValueArray::Append(Value* value)
{
    m_items.push_back(value);
    value->m_owner = this;
    value->m_index = m_items.size() - 1;
}

void ValueArray::Replace(Value* old, Value* fresh)
{
    size_t index = old->m_index;
    m_items[index] = fresh;
    fresh->m_owner = this;
    fresh->m_index = index;
    delete old;
}

bool ValueArray::HasContainer() const
{
    for (const Value* item : m_items) {
        if (item->Kind() == KIND_ARRAY || item->Kind() == KIND_OBJECT) return true;
    }
    return false;
}

bool ValueArray::Parse(Reader& reader)
{
    reader.SkipBlanks();
    if (reader.Peek() != L'[' || reader.AtEnd()) return reader.Fail(ERR_ARRAY_EXPECTED);
    DepthGuard depth(reader);
    if (!depth.Entered()) return false;
    reader.Advance();
    reader.SkipBlanks();
    if (reader.Peek() == L']' && !reader.AtEnd()) {
        reader.Advance();
        return true;
    }
    for (;;) {
        Value* item = CreateFromNext(reader);
        if (!item) return reader.Fail(ERR_VALUE_EXPECTED);
        if (!ParseElement(reader, item, reader.Position())) {
            delete item;
            return false;
        }
        Append(item);
        reader.SkipBlanks();
        wchar_t c = reader.AtEnd() ? L'\0' : reader.Peek();
        if (c == L']') {
            reader.Advance();
            return true;
        }
        if (c != L',') return reader.Fail(ERR_COMMA_EXPECTED);
        reader.Advance();
    }
}

void ValueArray::Write(std::wstring& out, bool pretty, int indent, int step) const
{
    bool multiLine = pretty && (m_items.size() > 1 || HasContainer());
    out += L'[';
    if (multiLine) out += L"\r\n";
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (multiLine) {
            if (i > 0) out += L"\r\n";
            AppendBlanks(out, indent + step);
        }
        m_items[i]->Write(out, pretty, indent + step, step);
        if (i + 1 < m_items.size()) {
            out += L',';
            if (pretty) out += L' ';
        }
    }
    if (multiLine && !m_items.empty()) {
        out += L"\r\n";
        AppendBlanks(out, indent);
    }
    out += L']';
}

// ---------------------------------------------------------------------------
// Document

Document::~Document()
{
    Clear();
}

void Document::Clear()
{
    delete m_value;
    m_value = nullptr;
}

bool Document::Parse(const wchar_t* text)
{
    Clear();
    m_error = Error();
    if (!text) text = L"";
    const size_t length = wcslen(text);

    // Root kinds in the order they are tried; Boolean and number are read
    // where the text starts, the others after leading blanks.
    static const ValueKind kRootKinds[] = { KIND_BOOL, KIND_LONG, KIND_STRING, KIND_ARRAY, KIND_OBJECT };
    size_t bestOffset = 0;
    for (ValueKind kind : kRootKinds) {
        Reader reader(text, length);
        Value* root = Value::Create(kind);
        if (root->Parse(reader)) {
            m_value = root;
            m_error = Error();
            return true;
        }
        delete root;
        // Keep the failure that got furthest into the text: it names what is
        // really wrong ("[1,2" is missing a bracket, not a "{").
        const Error& error = reader.GetError();
        if (error.IsRecorded() && (!m_error.IsRecorded() || reader.ErrorOffset() >= bestOffset)) {
            m_error = error;
            bestOffset = reader.ErrorOffset();
        }
    }
    return false;
}

void Document::Write(std::wstring& out, bool pretty) const
{
    out.clear();
    if (m_value) m_value->Write(out, pretty, 0, 4);
}

Handle Document::operator[](const wchar_t* key)
{
    if (!m_value) m_value = new ValueObject;
    Handle root(nullptr, m_value);
    return root[key];
}

} // namespace BkJson

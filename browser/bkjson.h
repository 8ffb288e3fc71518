#pragma once
// BkJson: a small JSON reader and writer over wide (UTF-16) text, used to
// pass parameters and answers between page script and native code.
//
// It reads a subset of JSON: integers are signed 32-bit (no fractions or
// exponents), a root value may be followed by any text, and only a document
// root of kind Boolean, number, string, array or object is accepted.
//
// The text comes from web pages, so reading never trusts it: nesting deeper
// than kMaxDepth, numbers outside 32 bits, bad escapes, lone surrogates and
// truncated text all fail the parse with an error record.
//
// Values live in a tree owned by a Document. A Handle is a plain
// {container, value} pair that owns nothing; it stays valid until its value
// is replaced or deleted. Changing a member's kind (SetString on a number,
// operator[] on a non-object) replaces that member, so other handles to the
// old member must not be used afterwards.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace BkJson {

enum ValueKind {
    KIND_NONE = 0,  // a handle without a value
    KIND_NULL = 1,
    KIND_OBJECT = 2,
    KIND_BOOL = 3,
    KIND_STRING = 4,
    KIND_LONG = 5,
    KIND_ARRAY = 7,
};

enum ErrorCode {
    ERR_NONE = 0,
    ERR_OBJECT_EXPECTED = 1,     // "{" expected
    ERR_QUOTE_EXPECTED = 3,      // double quote expected
    ERR_UNTERMINATED = 4,        // string not terminated
    ERR_MINUS_AT_END = 5,        // text ends after a minus sign
    ERR_COLON_EXPECTED = 6,      // ":" expected
    ERR_COMMA_EXPECTED = 7,      // "," or the closing bracket expected
    ERR_BAD_ESCAPE = 8,          // bad escape sequence (also a lone surrogate escape)
    ERR_VALUE_EXPECTED = 9,      // value expected
    ERR_ARRAY_EXPECTED = 10,     // "[" expected
    ERR_NUMBER_RANGE = 11,       // number does not fit 32 bits (at the digit that overflows)
    ERR_TOO_DEEP = 12,           // arrays and objects nested deeper than kMaxDepth
    ERR_BAD_SURROGATE = 13,      // lone surrogate code unit in a string
};

// Deepest nesting of arrays and objects that a parse accepts. Parsing,
// writing and deleting recurse once per level, so this bounds stack use.
const int kMaxDepth = 512;

struct Error {
    long code = ERR_NONE;
    long line = -1;
    long column = -1;
    bool IsRecorded() const { return column != -1; }
};

class Value;
class ValueObject;
class ValueArray;
class Reader;

typedef std::map<std::wstring, Value*> MemberMap;

class Handle {
public:
    Handle() = default;
    Handle(Value* owner, Value* value) : m_owner(owner), m_value(value) {}

    // The one handle without owner and value, shared by every failed lookup.
    static const Handle& Null();

    // Member access that creates what is missing (see the file comment on
    // replacement). A non-object member becomes an empty object first, and
    // this handle then refers to that object. A value without a container
    // (a document root that is not an object) gives the null handle.
    Handle operator[](const wchar_t* key);

    bool HasKey(const wchar_t* key) const;
    // The string when the value is a string, else null.
    const wchar_t* GetString() const;
    // The number when the value is a number, else 0.
    long GetLong() const;
    // The Boolean when the value is a Boolean, else false.
    bool GetBool() const;
    ValueKind GetKind() const;
    // Elements of an array or members of an object; 0 for other values.
    size_t GetCount() const;
    // An array element; the null handle when out of range or not an array.
    Handle At(size_t index) const;

    // Replace the value inside its container by a string or number (unless
    // it already has that kind), store the content and refer to it. Without
    // a container or a value nothing changes.
    void SetString(const wchar_t* text);
    void SetLong(long number);

    Value* GetOwner() const { return m_owner; }
    Value* GetValue() const { return m_value; }

protected:
    Value* m_owner = nullptr;
    Value* m_value = nullptr;

private:
    // Puts `fresh` in the place of this handle's value and points at it.
    void ReplaceValue(Value* fresh);
};

// Read position over the text; the text ends at `end` (and at a NUL).
class Reader {
public:
    Reader(const wchar_t* text, size_t length);

    wchar_t Peek() const { return m_pos < m_end ? *m_pos : L'\0'; }
    bool AtEnd() const { return m_pos >= m_end; }
    size_t Remaining() const { return static_cast<size_t>(m_end - m_pos); }
    const wchar_t* Position() const { return m_pos; }
    void Advance(size_t count = 1);
    void SkipBlanks();
    // True when the remaining text starts with `word`.
    bool StartsWith(const wchar_t* word) const;

    // Records the error at the current position or at `at`; always false so
    // parsers can `return Fail(...)`.
    bool Fail(long code) { return FailAt(code, m_pos); }
    bool FailAt(long code, const wchar_t* at);
    const Error& GetError() const { return m_error; }
    // Distance from the start of the text of the recorded error, for
    // comparing attempts.
    size_t ErrorOffset() const { return m_errorOffset; }

    // Nesting guard; false (with the error recorded) when too deep.
    bool Enter();
    void Leave() { --m_depth; }

private:
    const wchar_t* m_text;
    const wchar_t* m_pos;
    const wchar_t* m_end;
    Error m_error;
    size_t m_errorOffset = 0;
    int m_depth = 0;
};

class Value : public Handle {
public:
    virtual ~Value() = default;
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;

    // Reads this value at the reader's position; false on failure (the error
    // is recorded in the reader unless the text simply is not this kind).
    virtual bool Parse(Reader& reader) = 0;
    virtual void Write(std::wstring& out, bool pretty, int indent, int step) const = 0;

    ValueKind Kind() const { return m_kind; }

    // Creates the value that the next character starts (after blanks), or
    // null when none does.
    static Value* CreateFromNext(Reader& reader);
    // A new empty value of a kind (null for KIND_NONE or unknown kinds).
    static Value* Create(ValueKind kind);

protected:
    explicit Value(ValueKind kind) : Handle(nullptr, this), m_kind(kind) {}

private:
    friend class Handle;
    friend class ValueObject;
    friend class ValueArray;

    ValueKind m_kind;
    // Place in the container: slot of an array element, node of a member.
    size_t m_index = 0;
    MemberMap::iterator m_node;
};

class ValueNull : public Value {
public:
    ValueNull() : Value(KIND_NULL) {}
    bool Parse(Reader& reader) override;
    void Write(std::wstring& out, bool pretty, int indent, int step) const override;
};

class ValueBool : public Value {
public:
    ValueBool() : Value(KIND_BOOL) {}
    bool Parse(Reader& reader) override;
    void Write(std::wstring& out, bool pretty, int indent, int step) const override;
    bool m_bool = false;
};

class ValueLong : public Value {
public:
    ValueLong() : Value(KIND_LONG) {}
    bool Parse(Reader& reader) override;
    void Write(std::wstring& out, bool pretty, int indent, int step) const override;
    long m_long = 0;
};

class ValueString : public Value {
public:
    ValueString() : Value(KIND_STRING) {}
    bool Parse(Reader& reader) override;
    void Write(std::wstring& out, bool pretty, int indent, int step) const override;
    // Writes `text` (up to its first NUL) as a quoted, escaped JSON string.
    static void WriteQuoted(std::wstring& out, const std::wstring& text);
    // Reads a quoted string (after blanks) into `text`.
    static bool ParseQuoted(Reader& reader, std::wstring& text);
    std::wstring m_string;
};

class ValueObject : public Value {
public:
    ValueObject() : Value(KIND_OBJECT) {}
    ~ValueObject() override;
    bool Parse(Reader& reader) override;
    void Write(std::wstring& out, bool pretty, int indent, int step) const override;

    Value* Find(const wchar_t* key) const;
    // Stores `value` under `key`, deleting a value the key held before.
    void Set(const std::wstring& key, Value* value);
    // Puts `fresh` in the place of the member `old`, deleting `old`.
    void Replace(Value* old, Value* fresh);
    void Clear();
    size_t Count() const { return m_members.size(); }

private:
    MemberMap m_members;
};

class ValueArray : public Value {
public:
    ValueArray() : Value(KIND_ARRAY) {}
    ~ValueArray() override;
    bool Parse(Reader& reader) override;
    void Write(std::wstring& out, bool pretty, int indent, int step) const override;

    void Append(Value* value);
    void Replace(Value* old, Value* fresh);
    void Clear();
    size_t Count() const { return m_items.size(); }
    Value* At(size_t index) const { return index < m_items.size() ? m_items[index] : nullptr; }
    // True when an element is an array or an object (written over lines).
    bool HasContainer() const;

private:
    std::vector<Value*> m_items;
};

// A handle without owner whose value is the root, which it owns.
class Document : public Handle {
public:
    Document() = default;
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Parses the whole text (up to its first NUL) into a fresh root. False on
    // failure: no root, and the error record says what and where.
    bool Parse(const wchar_t* text);
    // The root as text: empty without a root; `pretty` adds line breaks and
    // indentation.
    void Write(std::wstring& out, bool pretty) const;
    // Member access on the root, making an empty object the root first when
    // there is none.
    Handle operator[](const wchar_t* key);

    Value* GetRoot() const { return m_value; }
    const Error& GetError() const { return m_error; }
    void Clear();

private:
    Error m_error;
};

} // namespace BkJson

#include "platform/command_line.h"

#include <windows.h>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

} // namespace

bool CCommandLine::NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
    // Ordinal comparison ignoring case: the same for every user locale.
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
}

void CCommandLine::SetOption(const std::wstring& name, const wchar_t* value) {
    options_[name] = value ? value : L"";
}

bool CCommandLine::HasOption(const wchar_t* name) const {
    return name != nullptr && options_.find(name) != options_.end();
}

bool CCommandLine::GetOption(const wchar_t* name, std::wstring* value) const {
    if (name == nullptr) return false;
    auto it = options_.find(name);
    if (it == options_.end()) return false;
    if (value) *value = it->second;
    return true;
}

bool CCommandLine::Parse(const wchar_t* text) {
    if (text == nullptr) return false;
    source_ = text;

    enum class State { Scan, NameStart, Name, ValueStart, Value };
    State state = State::Scan;
    bool quoted = false;
    std::wstring name;
    std::wstring value;

    // The terminating NUL is scanned too: it ends a pending name or value.
    const size_t length = source_.size();
    for (size_t i = 0; i <= length; ++i) {
        const wchar_t c = i < length ? source_[i] : L'\0';
        const bool ends = c == L'\0' || IsBlank(c);
        switch (state) {
        case State::Scan:
            if (quoted) {
                if (c == L'"') quoted = false;
            } else if (c == L'"') {
                quoted = true;
            } else if (c == L'-' || c == L'/') {
                state = State::NameStart;
            }
            break;
        case State::NameStart:
            // The character after the dash starts the name whatever it is,
            // except a blank or the end of the text: a dash that stands
            // alone adds nothing (and does not take the next option as
            // part of its name).
            if (c == L'\0') return true;
            if (IsBlank(c)) {
                state = State::Scan;
                break;
            }
            name.assign(1, c);
            state = State::Name;
            break;
        case State::Name:
            if (ends) {
                SetOption(name, L"");
                state = State::Scan;
            } else if (c == L':') {
                state = State::ValueStart;
            } else {
                name.push_back(c);
            }
            break;
        case State::ValueStart:
            if (ends) {
                SetOption(name, L"");
                state = State::Scan;
            } else if (c == L'"') {
                // The value starts after the quote; the next character is
                // tested like any other, so "" is an empty value.
                quoted = true;
                value.clear();
                state = State::Value;
            } else {
                value.assign(1, c);
                state = State::Value;
            }
            break;
        case State::Value:
            // A blank ends even a quoted value.
            if (ends || (c == L'"' && quoted)) {
                SetOption(name, value.c_str());
                quoted = false;
                state = State::Scan;
            } else {
                value.push_back(c);
            }
            break;
        }
    }
    return true;
}

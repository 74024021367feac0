#pragma once
// A stream buffer that puts a prefix ("nota: ") before every line it passes on, so that in a
// pipeline each line on standard error says which program wrote it. A carriage return starts
// a line as well (progress redrawn in place keeps its prefix). The prefix of a line is
// written with the line's first character, never on its own.

#include <streambuf>
#include <string>

class CLinePrefixBuf : public std::streambuf {
public:
    // `target` must outlive this buffer; nothing is buffered here.
    CLinePrefixBuf(std::streambuf* target, std::string prefix)
        : m_target(target), m_prefix(std::move(prefix)) {}

protected:
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof()))
            return traits_type::not_eof(ch);
        const char c = traits_type::to_char_type(ch);
        if (m_bLineStart && c != '\r' && c != '\n') {
            auto n = static_cast<std::streamsize>(m_prefix.size());
            if (m_target->sputn(m_prefix.data(), n) != n)
                return traits_type::eof();
            m_bLineStart = false;
        }
        if (traits_type::eq_int_type(m_target->sputc(c), traits_type::eof()))
            return traits_type::eof();
        if (c == '\n' || c == '\r')
            m_bLineStart = true;
        return ch;
    }
    int sync() override { return m_target->pubsync(); }

private:
    std::streambuf* m_target;
    std::string m_prefix;
    bool m_bLineStart = true;
};

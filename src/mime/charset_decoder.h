#pragma once
// Turns text in a named charset into UTF-8, piece by piece: a character cut
// in two by a piece boundary comes out whole. A byte sequence that is not
// valid in the charset becomes U+FFFD and decoding goes on after its first
// byte, so no input is ever refused. A charset the system does not know, or
// none at all (or "x-unknown"), is read as UTF-8 (ASCII and US-ASCII too, so UTF-8 text sent
// under the wrong label keeps its characters).

#include <string>
#include <string_view>

namespace jl {

class CharsetDecoder {
public:
    explicit CharsetDecoder(std::string_view charset);
    ~CharsetDecoder();
    CharsetDecoder(const CharsetDecoder&) = delete;
    CharsetDecoder& operator=(const CharsetDecoder&) = delete;

    // Appends the UTF-8 of bytes to out; the bytes of a character that the
    // piece ends inside wait for the next piece.
    void decode(std::string_view bytes, std::string& out);
    // Ends the text: a character left incomplete becomes U+FFFD.
    void finish(std::string& out);

    // Whether the charset is read as itself (false: read as UTF-8).
    bool known() const { return m_known; }

    // One whole text.
    static std::string toUtf8(std::string_view bytes, std::string_view charset);

private:
    void decodeUtf8(std::string_view bytes, std::string& out);
    void decodeIconv(std::string_view bytes, std::string& out, bool last);

    void* m_iconv = nullptr; // iconv_t, or nullptr when read as UTF-8
    std::string m_name;      // the charset iconv reads
    bool m_known = false;
    std::string m_pending; // bytes of a character cut by the end of a piece
};

// Appends the UTF-8 of bytes read as UTF-8 to out: every byte that does not
// begin or continue a valid sequence (overlong forms, surrogates and values
// past U+10FFFF included) becomes U+FFFD.
void appendValidUtf8(std::string_view bytes, std::string& out);

} // namespace jl

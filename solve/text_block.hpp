// Text put together in a small block and appended to a string a block at a time, for the JSON and
// CSV writers: growing a string a field at a time, or sizing it ahead (which fills it), costs
// more than the text itself.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "report/shortest_text.hpp"

namespace pipenet::solve {

class TextBlock {
public:
    // Room enough for a number: its text, and what the shortest text may change past it.
    static constexpr std::size_t number_room = shortest_text_room;

    explicit TextBlock(std::string& text) : text_(text) {}
    TextBlock(const TextBlock&) = delete;
    TextBlock& operator=(const TextBlock&) = delete;
    ~TextBlock() { flush(); }

    // Makes room for `size` more bytes (at most a block): the puts below write without looking.
    void room(std::size_t size) {
        if (free() < size) flush();
    }
    template <std::size_t N>
    void put(const char (&literal)[N]) {
        std::memcpy(end_, literal, N - 1);
        end_ += N - 1;
    }
    void put(char c) { *end_++ = c; }
    // Node, pipe and pass numbers are mostly below 10^4: two digits at a time from a table.
    void put_integer(std::int64_t number) {
        if (number < 0 || number >= 10000) {
            end_ = std::to_chars(end_, end_ + 24, number).ptr;
            return;
        }
        const auto high = static_cast<std::size_t>(number / 100);
        const auto low = static_cast<std::size_t>(number % 100);
        if (high == 0) {
            put_pair(low, low < 10);
        } else {
            put_pair(high, high < 10);
            put_pair(low, false);
        }
    }
    // The shortest text of a finite number.
    template <class Real>
    void put_shortest(Real number) {
        end_ = shortest_text(end_, end_ + number_room, number);
    }
    // Where the next byte goes. Text written since stays where it is until room() or flush().
    const char* end() const { return end_; }
    // Text already at hand (at most the room made for it), such as a number's text written
    // before: a value repeated is copied rather than converted again.
    void repeat(const char* from, const char* to) {
        const auto size = static_cast<std::size_t>(to - from);
        std::memmove(end_, from, size);
        end_ += size;
    }
    // Text of any length; makes its own room.
    void append(std::string_view text) {
        if (text.empty()) return; // its data may be null, which memcpy must not be given
        if (free() < text.size()) flush();
        if (free() < text.size()) {
            text_ += text;
            return;
        }
        std::memcpy(end_, text.data(), text.size());
        end_ += text.size();
    }
    void flush() {
        text_.append(block_.data(), static_cast<std::size_t>(end_ - block_.data()));
        end_ = block_.data();
    }

private:
    static constexpr char digit_pairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
        "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
        "888990919293949596979899";
    // The two digits of `pair` (below 100), or its last one only.
    void put_pair(std::size_t pair, bool last_only) {
        std::memcpy(end_, digit_pairs + 2 * pair + (last_only ? 1 : 0), 2);
        end_ += last_only ? 1 : 2;
    }
    std::size_t free() const {
        return static_cast<std::size_t>(block_.data() + block_.size() - end_);
    }
    // Below the size from which the C library copies byte by byte.
    std::array<char, 2048> block_;
    char* end_ = block_.data();
    std::string& text_;
};

} // namespace pipenet::solve

// Record layouts: a parenthesised list of items that fixes every column of a line written to
// the report or read from an input record.
//
//   'text'   literal text, written unchanged          /      end the line, begin the next
//   nX       n blank columns                          Iw     integer in w columns
//   Fw.d     real in w columns with d decimals        rIw, rFw.d   r such fields in a row
//   n(...)   the items in parentheses, n times over
//
// A layout is parsed once, at compile time, from the text exactly as it is written; a text
// that does not parse does not compile.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pipenet {

enum class ItemKind : std::uint8_t {
    literal,
    new_line,
    blanks,
    integer,
    real,
    group_open,
    group_close
};

struct LayoutItem {
    ItemKind kind = ItemKind::literal;
    std::int16_t width = 0;    // field width; blank count; repeat count of a group
    std::int16_t decimals = 0; // Fw.d: d
    std::int16_t partner = 0;  // group_open: index of its close; group_close: of its open
    std::uint16_t text_begin = 0;
    std::uint16_t text_length = 0;
    // Where a writer may enter the layout (its start, or just after a field or a group item)
    // and static items follow: the text those items write, rendered once, and the index of the
    // first item after them. run_end == 0: no run starts here.
    std::uint16_t run_begin = 0;
    std::uint16_t run_length = 0;
    std::int16_t run_end = 0;
};

// A field of a flat layout: where it starts in the line, its width and decimals.
struct FlatField {
    std::int16_t offset = 0;
    std::int16_t width = 0;
    std::int16_t decimals = 0;
};

inline constexpr int max_layout_items = 48;
inline constexpr int max_flat_fields = 8;
inline constexpr int max_flat_line = 160;
inline constexpr int flat_image_padding = 32; // readable bytes after a flat line's image
inline constexpr int max_field_width = 64;    // the widest field a writer formats
inline constexpr int max_rendered_text = 384; // the static text of a layout, rendered
inline constexpr int rendered_padding = 8;    // readable bytes after the last rendered one

class Layout {
public:
    consteval explicit Layout(std::string_view text) : text_(text) {
        parse();
        render_runs();
        plan_flat_line();
    }

    std::string_view text() const { return text_; }
    int size() const { return count_; }
    const LayoutItem& operator[](int i) const { return items_[static_cast<std::size_t>(i)]; }
    std::string_view literal(const LayoutItem& item) const {
        return text_.substr(item.text_begin, item.text_length);
    }
    // The rendered text of the run starting at `item`; at least rendered_padding more bytes
    // after its end may be read.
    const char* run_text(const LayoutItem& item) const { return rendered_.data() + item.run_begin; }

    // A flat layout is one line of literals, blank columns and at most max_flat_fields fields,
    // with no group and no new line: written with one value per field, its line is its image
    // with the fields written over their blank columns. The number of fields, or -1 when the
    // layout is not flat.
    constexpr int flat_fields() const { return flat_field_count_; }
    constexpr int flat_line_length() const { return flat_line_length_; }
    // The line with blanks in the fields' columns; flat_image_padding more bytes may be read.
    const char* flat_line_image() const { return flat_image_.data(); }
    constexpr const FlatField& flat_field(int k) const {
        return flat_fields_[static_cast<std::size_t>(k)];
    }

    static constexpr bool is_field(ItemKind kind) {
        return kind == ItemKind::integer || kind == ItemKind::real;
    }

private:
    std::string_view text_;
    std::array<LayoutItem, max_layout_items> items_{};
    int count_ = 0;
    std::array<char, max_rendered_text + rendered_padding> rendered_{};
    int rendered_count_ = 0;

    int flat_field_count_ = -1;
    int flat_line_length_ = 0;
    std::array<FlatField, max_flat_fields> flat_fields_{};
    std::array<char, max_flat_line + flat_image_padding> flat_image_{};

    constexpr void plan_flat_line() {
        int length = 0;
        int fields = 0;
        auto blank_columns = [&](int count) {
            for (int c = 0; c < count && length < max_flat_line; ++c)
                flat_image_[static_cast<std::size_t>(length++)] = ' ';
            return length < max_flat_line;
        };
        for (int i = 0; i < count_; ++i) {
            const LayoutItem& item = items_[static_cast<std::size_t>(i)];
            if (item.kind == ItemKind::literal) {
                if (length + item.text_length >= max_flat_line) return;
                for (int c = 0; c < item.text_length; ++c)
                    flat_image_[static_cast<std::size_t>(length++)] = text_[item.text_begin + c];
            } else if (item.kind == ItemKind::blanks) {
                if (!blank_columns(item.width)) return;
            } else if (is_field(item.kind)) {
                if (fields == max_flat_fields) return;
                flat_fields_[static_cast<std::size_t>(fields++)] = {
                    static_cast<std::int16_t>(length), item.width, item.decimals};
                if (!blank_columns(item.width)) return;
            } else {
                return; // a new line or a group
            }
        }
        flat_field_count_ = fields;
        flat_line_length_ = length;
    }

    // Not constexpr: reaching it while a layout is parsed at compile time is a compile error
    // that names the reason.
    static void fail(const char* why) { (void)why; }
    constexpr void push(LayoutItem item) {
        if (count_ == max_layout_items) fail("too many items");
        items_[static_cast<std::size_t>(count_++)] = item;
    }
    // Adds the literal whose opening quote stands at pos; leaves pos after its closing quote.
    constexpr void push_literal(std::size_t& pos) {
        std::size_t begin = ++pos;
        while (pos < text_.size() && text_[pos] != '\'') ++pos;
        if (pos >= text_.size()) fail("unclosed literal");
        LayoutItem item{ItemKind::literal};
        item.text_begin = static_cast<std::uint16_t>(begin);
        item.text_length = static_cast<std::uint16_t>(pos - begin);
        push(item);
        ++pos;
    }
    static constexpr bool digit(char c) { return c >= '0' && c <= '9'; }

    constexpr int number(std::size_t& pos) const {
        if (pos >= text_.size() || !digit(text_[pos])) fail("number expected");
        int n = 0;
        while (pos < text_.size() && digit(text_[pos])) n = n * 10 + (text_[pos++] - '0');
        return n;
    }

    // A group whose items write only text (no field): its output never depends on values.
    constexpr bool static_group(int open) const {
        for (int i = open + 1; i < items_[static_cast<std::size_t>(open)].partner; ++i)
            if (is_field(items_[static_cast<std::size_t>(i)].kind)) return false;
        return true;
    }

    constexpr void render(char c) {
        if (rendered_count_ == max_rendered_text) fail("rendered text too long");
        rendered_[static_cast<std::size_t>(rendered_count_++)] = c;
    }

    // Renders the static items from `start` up to the next field, group of fields, group close
    // or the end; returns the index after them.
    constexpr int render_from(int start) {
        int i = start;
        while (i < count_) {
            const LayoutItem& item = items_[static_cast<std::size_t>(i)];
            if (item.kind == ItemKind::literal) {
                for (int c = 0; c < item.text_length; ++c) render(text_[item.text_begin + c]);
            } else if (item.kind == ItemKind::new_line) {
                render('\n');
            } else if (item.kind == ItemKind::blanks) {
                for (int c = 0; c < item.width; ++c) render(' ');
            } else if (item.kind == ItemKind::group_open && static_group(i)) {
                int first = rendered_count_;
                int close = item.partner;
                render_from(i + 1); // stops at the group's close
                int once = rendered_count_ - first;
                for (int r = 1; r < item.width; ++r)
                    for (int c = 0; c < once; ++c)
                        render(rendered_[static_cast<std::size_t>(first + c)]);
                i = close;
            } else {
                break;
            }
            ++i;
        }
        return i;
    }

    constexpr void render_runs() {
        for (int s = 0; s < count_; ++s) {
            if (s > 0) {
                ItemKind before = items_[static_cast<std::size_t>(s - 1)].kind;
                if (!is_field(before) && before != ItemKind::group_open &&
                    before != ItemKind::group_close)
                    continue;
            }
            int begin = rendered_count_;
            int end = render_from(s);
            if (end == s) continue;
            LayoutItem& item = items_[static_cast<std::size_t>(s)];
            item.run_begin = static_cast<std::uint16_t>(begin);
            item.run_length = static_cast<std::uint16_t>(rendered_count_ - begin);
            item.run_end = static_cast<std::int16_t>(end);
        }
    }

    constexpr void parse() {
        std::size_t pos = 0;
        std::array<int, 8> open_stack{};
        int depth = 0;
        auto skip_blanks = [&] {
            while (pos < text_.size() && text_[pos] == ' ') ++pos;
        };
        skip_blanks();
        if (pos >= text_.size() || text_[pos] != '(') fail("layout must open with (");
        ++pos;
        for (;;) {
            skip_blanks();
            if (pos >= text_.size()) fail("unclosed layout");
            char c = text_[pos];
            if (c == ')') {
                ++pos;
                if (depth == 0) break;
                int open = open_stack[static_cast<std::size_t>(--depth)];
                LayoutItem close{ItemKind::group_close, 0, 0, static_cast<std::int16_t>(open)};
                items_[static_cast<std::size_t>(open)].partner = static_cast<std::int16_t>(count_);
                push(close);
                continue;
            }
            if (c == ',') {
                ++pos;
                continue;
            }
            if (c == '/') {
                ++pos;
                push({ItemKind::new_line});
                continue;
            }
            if (c == '\'') {
                push_literal(pos);
                continue;
            }
            int repeat = 1;
            if (digit(c)) repeat = number(pos);
            if (pos >= text_.size()) fail("item expected");
            c = text_[pos];
            if (c == 'X') {
                ++pos;
                push({ItemKind::blanks, static_cast<std::int16_t>(repeat)});
            } else if (c == '(' || c == '\'') {
                if (c == '(') ++pos;
                if (depth == static_cast<int>(open_stack.size())) fail("groups nested too deep");
                open_stack[static_cast<std::size_t>(depth++)] = count_;
                push({ItemKind::group_open, static_cast<std::int16_t>(repeat)});
                if (c == '\'') {
                    // n'text' repeats one literal: a group holding only that literal.
                    push_literal(pos);
                    int open = open_stack[static_cast<std::size_t>(--depth)];
                    items_[static_cast<std::size_t>(open)].partner =
                        static_cast<std::int16_t>(count_);
                    push({ItemKind::group_close, 0, 0, static_cast<std::int16_t>(open)});
                }
            } else if (c == 'I' || c == 'F') {
                ++pos;
                int width = number(pos);
                int decimals = 0;
                if (c == 'F') {
                    if (pos >= text_.size() || text_[pos] != '.') fail("Fw.d needs .d");
                    ++pos;
                    decimals = number(pos);
                }
                if (width == 0) fail("zero width");
                if (width > max_field_width) fail("field wider than a field buffer");
                for (int r = 0; r < repeat; ++r)
                    push({c == 'I' ? ItemKind::integer : ItemKind::real,
                          static_cast<std::int16_t>(width), static_cast<std::int16_t>(decimals)});
            } else {
                fail("unknown item");
            }
        }
        skip_blanks();
        if (pos != text_.size()) fail("text after the layout");
        if (depth != 0) fail("unclosed group");
    }
};

} // namespace pipenet

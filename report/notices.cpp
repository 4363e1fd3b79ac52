#include "report/notices.hpp"

#include <array>
#include <cstdio>

namespace pipenet {

namespace {

struct NoticeText {
    Notice notice;
    const char* text;
};

constexpr std::array<NoticeText, 3> notice_texts = {{
    {Notice::print_flag_prompt,
     "turbnet: waiting for the print flag: type 1 for a table of every pass or 0 for none, "
     "then Enter"},
    {Notice::lamnet_balance_off,
     "lamnet: warning: nodal balance off at node %d: net discharge %.6g computed, %.6g given "
     "(allowed difference %.3g); usually a length, diameter or discharge typed in another unit"},
    {Notice::turbnet_balance_off,
     "turbnet: warning: nodal balance off at node %d: net discharge %.6g computed, %.6g given "
     "(allowed difference %.3g); usually a tolerance too loose, or a length, diameter or "
     "discharge typed in another unit"},
}};

} // namespace

std::string_view notice_text(Notice notice) {
    for (const NoticeText& entry : notice_texts)
        if (entry.notice == notice) return entry.text;
    return {};
}

void write_notice(RecordIo& io, Notice notice) {
    io.write_notice_line(notice_text(notice));
}

void write_balance_notice(RecordIo& io, Notice notice, std::int32_t node, float computed,
                          float given, double allowed) {
    std::array<char, 512> line{};
    int n = std::snprintf(line.data(), line.size(), notice_text(notice).data(),
                          static_cast<int>(node), double{computed}, double{given}, allowed);
    if (n < 0) n = 0;
    if (static_cast<std::size_t>(n) >= line.size()) n = static_cast<int>(line.size()) - 1;
    io.write_notice_line({line.data(), static_cast<std::size_t>(n)});
}

} // namespace pipenet

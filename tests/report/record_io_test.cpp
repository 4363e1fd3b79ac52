// The layout writer and reader through RecordIo, and the failure reports of the layer, with
// the streams held in memory.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "report/layout.hpp"
#include "report/record_io.hpp"
#include "report/test_streams.hpp"

namespace pipenet {
namespace {

using testing::FailingSink;
using testing::FailingSource;
using testing::MemoryRun;
using testing::path_in_current_directory;
using testing::PieceSource;
using testing::StringSink;

// Runs `action` and returns the status it ends the run with, or -1 when it returns normally.
int run_status(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunEnded& ended) {
        return ended.status;
    }
    return -1;
}

// ---- Writer ------------------------------------------------------------------------------

constexpr Layout text_only{"('abc')"};
constexpr Layout two_lines{"('a',/,'b')"};
constexpr Layout blank_columns{"(3X,'a',2X)"};
constexpr Layout banner{"(' ',130('*'))"};
constexpr Layout nested_groups{"(2(' ',2('ab')))"};
constexpr Layout three_fields{"(3I3)"};
constexpr Layout fields_in_group{"(2(I2,'|'))"};
constexpr Layout group_of_three{"(3(I2,'x'))"};
constexpr Layout text_around_fields{"('a',I3,'b',I3,'c')"};
constexpr Layout bracketed{"('<',I2,'>')"};
constexpr Layout node_triple{"(I10,2F10.2)"};
constexpr Layout field_then_break{"(I3,/)"};
constexpr Layout framed_text{"(/,'x',/)"};
constexpr Layout break_then_field{"(/,I3)"};
constexpr Layout integer_and_real{"(I5,F8.3)"};

using Value = std::variant<std::int32_t, float>;

struct WriteCase {
    std::string_view name;
    const Layout* layout;
    std::vector<Value> values;
    std::string expected;
};

std::ostream& operator<<(std::ostream& os, const WriteCase& c) {
    return os << c.name;
}

class WriterTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriterTest, WritesTheLines) {
    const WriteCase& c = GetParam();
    MemoryRun run;
    {
        LayoutWriter writer(run.io, *c.layout);
        for (const Value& v : c.values) std::visit([&](auto x) { writer.put(x); }, v);
        writer.finish();
    }
    EXPECT_EQ(run.flushed_report(), c.expected);
    EXPECT_EQ(run.errors, "");
}

INSTANTIATE_TEST_SUITE_P(
    RecordIo, WriterTest,
    ::testing::Values(
        WriteCase{"literal", &text_only, {}, "abc\n"}, WriteCase{"slash", &two_lines, {}, "a\nb\n"},
        WriteCase{"blank_columns", &blank_columns, {}, "   a  \n"},
        WriteCase{"repeated_literal", &banner, {}, " " + std::string(130, '*') + "\n"},
        WriteCase{"nested_groups", &nested_groups, {}, " abab abab\n"},
        WriteCase{"repeated_field", &three_fields, {1, 22, -3}, "  1 22 -3\n"},
        WriteCase{"fields_in_group", &fields_in_group, {1, 2}, " 1| 2|\n"},
        // The write ends at the first field without a value, after the items before it.
        WriteCase{"ends_inside_group", &group_of_three, {7}, " 7x\n"},
        WriteCase{"ends_at_second_field", &text_around_fields, {5}, "a  5b\n"},
        WriteCase{"all_fields_filled", &text_around_fields, {5, 6}, "a  5b  6c\n"},
        WriteCase{"no_values", &text_around_fields, {}, "a\n"},
        WriteCase{"no_values_no_text", &node_triple, {}, "\n"},
        // Values left at the end of the layout: a new line and the layout again.
        WriteCase{"reversion", &bracketed, {1, 2}, "< 1>\n< 2>\n"},
        WriteCase{"reversion_in_group", &three_fields, {1, 2, 3, 4}, "  1  2  3\n  4\n"},
        WriteCase{"reversion_node_lines",
                  &node_triple,
                  {1, 1.0f, 2.0f, 2, 3.5f, -4.25f},
                  "         1      1.00      2.00\n         2      3.50     -4.25\n"},
        // A trailing slash gives an empty last line; a leading one an empty first line.
        WriteCase{"trailing_slash", &field_then_break, {7}, "  7\n\n"},
        WriteCase{"framed_text", &framed_text, {}, "\nx\n\n"},
        WriteCase{"leading_slash", &break_then_field, {9}, "\n  9\n"},
        WriteCase{"integer_and_real", &integer_and_real, {-12, 0.5f}, "  -12   0.500\n"}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

// write_record writes a one-line layout of literals, blanks and fields from its image when it
// has one value per field, and walks the items otherwise: the lines are the same either way.
constexpr std::size_t max_values_passed = 6;

template <class... Done>
void write_values(RecordIo& io, const Layout& layout, const std::vector<Value>& values,
                  std::size_t next, Done... done) {
    if (next == values.size()) {
        write_record(io, layout, done...);
        return;
    }
    if constexpr (sizeof...(Done) < max_values_passed)
        std::visit([&](auto v) { write_values(io, layout, values, next + 1, done..., v); },
                   values[next]);
}

TEST_P(WriterTest, WriteRecordWritesTheSameLines) {
    const WriteCase& c = GetParam();
    ASSERT_LE(c.values.size(), max_values_passed);
    MemoryRun run;
    write_values(run.io, *c.layout, c.values, 0);
    EXPECT_EQ(run.flushed_report(), c.expected);
    EXPECT_EQ(run.errors, "");
}

// Which layouts are flat, and the image and field columns of one.
static_assert(text_only.flat_fields() == 0 && blank_columns.flat_fields() == 0);
static_assert(node_triple.flat_fields() == 3 && integer_and_real.flat_fields() == 2);
static_assert(two_lines.flat_fields() == -1 && banner.flat_fields() == -1 &&
              fields_in_group.flat_fields() == -1 && field_then_break.flat_fields() == -1);
static_assert(text_around_fields.flat_fields() == 2 && text_around_fields.flat_line_length() == 9 &&
              text_around_fields.flat_field(0).offset == 1 &&
              text_around_fields.flat_field(1).offset == 5 &&
              text_around_fields.flat_field(1).width == 3);

TEST(RecordIoWriter, FlatLineImageHasBlanksWhereTheFieldsGo) {
    EXPECT_EQ(std::string_view(text_around_fields.flat_line_image(),
                               static_cast<std::size_t>(text_around_fields.flat_line_length())),
              "a   b   c");
}

// A run whose report stream refuses every write with `error`; the failure reports are kept.
struct FailingReportRun {
    explicit FailingReportRun(int error) : report(error) {}
    std::string errors;
    FailingSink report;
    StringSink error_sink{errors};
    MemorySource console{std::string_view{}};
    RecordIo io{report, error_sink, console};
};

// A report stream that fails while a flat line is written ends the run and leaves the report
// lock free: the run's next write (here an empty line) does not wait for it.
TEST(RecordIoWriter, FailureInsideAFlatLineReleasesTheReportLock) {
    FailingReportRun run(EIO);
    const int status = run_status([&] {
        for (int i = 0; i < 10000; ++i)
            write_record(run.io, node_triple, std::int32_t{i}, 1.0f, 2.0f);
    });
    EXPECT_EQ(status, 38);
    write_empty_record(run.io);
    EXPECT_NE(run.errors.find("severe (38)"), std::string::npos) << run.errors;
}

TEST(RecordIoWriter, EmptyRecordIsALineWithNoCharacters) {
    MemoryRun run;
    write_record(run.io, text_only);
    write_empty_record(run.io);
    write_record(run.io, text_only);
    EXPECT_EQ(run.flushed_report(), "abc\n\nabc\n");
}

// A value too wide for its field: the line is written with asterisks, then one report per
// write goes to standard error, after the line, and the run goes on.
TEST(RecordIoWriter, OutputConversionErrorFollowsTheLineAndTheRunGoesOn) {
    std::string transcript;
    StringSink report(transcript, "[out]");
    StringSink errors(transcript, "[err]");
    MemorySource console{std::string_view{}};
    RecordIo io(report, errors, console);

    constexpr Layout two_narrow{"(I3,'|',I3)"};
    write_record(io, two_narrow, std::int32_t{1234}, std::int32_t{-100});
    write_record(io, two_narrow, std::int32_t{1}, std::int32_t{2});
    io.flush_report();
    EXPECT_EQ(transcript, "[out]***|***\n"
                          "[err]netio: error (63): output conversion error, unit 6, file CONOUT$\n"
                          "[out]  1|  2\n");
}

TEST(RecordIoWriter, FailingReportStreamEndsTheRunWithTheSystemText) {
    FailingReportRun run(ENOSPC);
    write_record(run.io, text_only);
    EXPECT_EQ(run_status([&] { run.io.flush_report(); }), 38);
    EXPECT_EQ(run.errors, std::string("netio: ") + std::strerror(ENOSPC) +
                              "\nnetio: severe (38): error during write, unit 6, file CONOUT$\n");
}

// ---- Reader ------------------------------------------------------------------------------

constexpr Layout integer_real{"(I10,F10.2)"};
constexpr Layout real_integer{"(F10.2,I10)"};
constexpr Layout two_i5{"(2I5)"};
constexpr Layout packed{"(I3,F5.1,I2)"};
constexpr Layout skip_two{"(2X,I3)"};
constexpr Layout one_i5{"(I5)"};
constexpr Layout i5_break_i5{"(I5,/,I5)"};
constexpr Layout one_i3{"(I3)"};

struct ReadCase {
    std::string_view name;
    const Layout* layout;
    std::string_view input;
    std::string_view kinds; // 'i' reads an integer, 'r' a real
    std::vector<double> expected;
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c) {
    return os << c.name;
}

// Each case is read from the input handed out whole and one byte at a time, so that records
// and line ends split across reads of the source read the same.
class ReaderTest : public ::testing::TestWithParam<std::tuple<ReadCase, std::size_t>> {};

TEST_P(ReaderTest, ReadsTheValues) {
    const auto& [c, piece] = GetParam();
    MemoryRun run;
    PieceSource source(c.input, piece);
    run.io.use_input_source(source);
    run.io.open_input("input-lin.dat");
    LayoutReader reader(run.io, 2, *c.layout);
    ASSERT_EQ(c.kinds.size(), c.expected.size());
    for (std::size_t k = 0; k < c.kinds.size(); ++k) {
        if (c.kinds[k] == 'i') {
            EXPECT_EQ(reader.get_integer(), static_cast<std::int32_t>(c.expected[k])) << k;
        } else {
            EXPECT_EQ(reader.get_real(), static_cast<float>(c.expected[k])) << k;
        }
    }
    EXPECT_EQ(run.errors, "");
}

INSTANTIATE_TEST_SUITE_P(
    RecordIo, ReaderTest,
    ::testing::Combine(
        ::testing::Values(
            // A comma ends a field early; the next field starts right after it.
            ReadCase{"comma_after_integer", &integer_real, "5,2.5", "ir", {5, 2.5}},
            ReadCase{"comma_after_real", &real_integer, "1.5,7", "ri", {1.5, 7}},
            ReadCase{"two_commas", &two_i5, "1,,3", "ii", {1, 0}},
            // Fields sit in fixed columns; a short record reads as padded with blanks.
            ReadCase{"packed_columns", &packed, "12345678901", "iri", {123, 4567.8, 90}},
            ReadCase{"short_record", &integer_real, "  7", "ir", {7, 0.0}},
            ReadCase{"empty_record", &integer_real, "\n", "ir", {0, 0.0}},
            ReadCase{"columns_beyond_ignored", &one_i3, "  1999 junk", "i", {1}},
            ReadCase{"blank_columns_skipped", &skip_two, "99123", "i", {123}},
            // Reversion and a slash move to the next record.
            ReadCase{"reversion", &one_i5, "1\n2\n3\n", "iii", {1, 2, 3}},
            ReadCase{"slash", &i5_break_i5, "1    9\n2\n", "ii", {1, 2}},
            ReadCase{"reversion_node_group",
                     &node_triple,
                     "         2      1.50     -2.25\n         1      1234",
                     "irrirr",
                     {2, 1.5, -2.25, 1, 12.34, 0.0}},
            // Line ends: CR LF reads as LF; the last line needs none.
            ReadCase{"crlf", &one_i5, "   12\r\n   34\r\n", "ii", {12, 34}},
            ReadCase{"crlf_short_record", &integer_real, "3\r\n", "ir", {3, 0.0}},
            ReadCase{"last_line_unterminated", &one_i5, "1\n2", "ii", {1, 2}}),
        ::testing::Values(std::size_t{1}, std::size_t{1} << 20)),
    [](const ::testing::TestParamInfo<std::tuple<ReadCase, std::size_t>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == 1 ? "_bytewise" : "_whole");
    });

// The line feed and the first comma before it, at every place in and across the blocks the
// scan takes at once, against a plain search.
TEST(ScanLine, FindsTheLineFeedAndTheFirstCommaBeforeIt) {
    for (std::size_t size = 0; size <= 40; ++size)
        for (std::size_t feed = 0; feed <= size; ++feed)          // feed == size: none
            for (std::size_t comma = 0; comma <= size; ++comma) { // comma == size: none
                std::string text(size, 'x');
                if (comma < size) text[comma] = ',';
                if (feed < size) text[feed] = '\n';
                if (comma + 7 < size && comma + 7 != feed) text[comma + 7] = ',';
                const std::string_view view(text);
                const std::size_t want_feed = view.find('\n');
                const std::size_t want_comma = view.substr(0, want_feed).find(',');
                const LineScan scan = scan_line(text.data(), text.size());
                ASSERT_EQ(scan.line_feed, want_feed) << size << " " << feed << " " << comma;
                ASSERT_EQ(scan.comma, want_comma) << size << " " << feed << " " << comma;
            }
}

// Records in the middle of a long input are read where they lie in the buffer: commas in any
// column of them, and none, cut their fields as in a record gathered apart.
TEST(RecordIoReader, CommasInRecordsReadWhereTheyLie) {
    const std::string_view records[] = {"3,2.5",        "         4      1.25", "5,",
                                        "  6,7.5",      "         8,9",         ",1.5",
                                        "12345678,0.5", "         9         1"};
    // A comma just after a full field ends the next one, empty.
    const double expected[][2] = {{3, 2.5}, {4, 1.25}, {5, 0},          {6, 7.5},
                                  {8, 0},   {0, 1.5},  {12345678, 0.5}, {9, 0.01}};
    std::string input;
    for (int round = 0; round < 40; ++round)
        for (std::string_view r : records) (input += r) += "\n";
    MemoryRun run;
    MemorySource source(input);
    run.io.use_input_source(source);
    run.io.open_input("input-lin.dat");
    for (int round = 0; round < 40; ++round)
        for (std::size_t k = 0; k < std::size(records); ++k) {
            LayoutReader reader(run.io, 2, integer_real);
            EXPECT_EQ(reader.get_integer(), static_cast<std::int32_t>(expected[k][0])) << k;
            EXPECT_EQ(reader.get_real(), static_cast<float>(expected[k][1])) << k;
        }
    EXPECT_EQ(run.errors, "");
}

// Every read starts at a new record, and a read with no values still takes one.
TEST(RecordIoReader, EachReadTakesItsOwnRecordEvenWithoutValues) {
    MemoryRun run;
    MemorySource source("11 99\n22\n33\n");
    run.io.use_input_source(source);
    run.io.open_input("input-lin.dat");
    EXPECT_EQ(LayoutReader(run.io, 2, one_i3).get_integer(), 11);
    { LayoutReader skipped(run.io, 2, one_i3); }
    EXPECT_EQ(LayoutReader(run.io, 2, one_i3).get_integer(), 33);
    EXPECT_EQ(run_status([&] { LayoutReader(run.io, 2, one_i3); }), 24);
}

TEST(RecordIoReader, CarriageReturnInsideARecordIsKept) {
    MemoryRun run;
    MemorySource source("1\r2\n");
    run.io.use_input_source(source);
    run.io.open_input("input-lin.dat");
    EXPECT_EQ(run_status([&] { LayoutReader(run.io, 2, one_i5).get_integer(); }), 64);
}

// ---- Failure reports of a read -----------------------------------------------------------

struct ReadFailure {
    std::string_view name;
    std::string_view input;
    const Layout* layout;
    int reads; // integers read before the failure is expected
    int status;
    std::string_view message;
};

std::ostream& operator<<(std::ostream& os, const ReadFailure& c) {
    return os << c.name;
}

class ReadFailureTest : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(ReadFailureTest, ReportsAndEndsTheRun) {
    const ReadFailure& c = GetParam();
    std::string transcript;
    StringSink report(transcript, "[out]");
    StringSink errors(transcript, "[err]");
    MemorySource console{std::string_view{}};
    RecordIo io(report, errors, console);
    MemorySource source(c.input);
    io.use_input_source(source);
    io.open_input("input-nonlin.dat");
    write_record(io, text_only);

    int status = run_status([&] {
        LayoutReader reader(io, 2, *c.layout);
        for (int k = 0; k <= c.reads; ++k) reader.get_integer();
    });
    EXPECT_EQ(status, c.status);
    // The report written so far comes first, then the failure report.
    EXPECT_EQ(transcript, "[out]abc\n[err]netio: severe (" + std::to_string(c.status) +
                              "): " + std::string(c.message) + ", unit 2, file " +
                              path_in_current_directory("input-nonlin.dat") + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    RecordIo, ReadFailureTest,
    ::testing::Values(
        ReadFailure{"empty_file", "", &one_i5, 0, 24, "end-of-file during read"},
        ReadFailure{"reversion_past_end", "1\n", &one_i5, 1, 24, "end-of-file during read"},
        ReadFailure{"slash_past_end", "1\r\n", &i5_break_i5, 1, 24, "end-of-file during read"},
        ReadFailure{"letter", "12a", &one_i5, 0, 64, "input conversion error"},
        ReadFailure{"point_in_integer", "  1.0", &one_i5, 0, 64, "input conversion error"},
        ReadFailure{"tab_in_integer", "\t  12", &one_i5, 0, 64, "input conversion error"},
        ReadFailure{"bad_second_record", "1\nx\n", &one_i5, 1, 64, "input conversion error"}),
    [](const ::testing::TestParamInfo<ReadFailure>& info) { return std::string(info.param.name); });

TEST(RecordIoReader, InvalidRealFieldIsAnInputConversionError) {
    MemoryRun run;
    MemorySource source("         1  1.0E39\n");
    run.io.use_input_source(source);
    run.io.open_input("input-lin.dat");
    LayoutReader reader(run.io, 2, integer_real);
    EXPECT_EQ(reader.get_integer(), 1);
    EXPECT_EQ(run_status([&] { reader.get_real(); }), 64);
    EXPECT_EQ(run.errors, "netio: severe (64): input conversion error, unit 2, file " +
                              path_in_current_directory("input-lin.dat") + "\n");
}

TEST(RecordIoReader, ReadErrorOtherThanTheEndIsSevere) {
    MemoryRun run;
    FailingSource source("1\n", EIO);
    run.io.use_input_source(source);
    run.io.open_input("input-lin.dat");
    EXPECT_EQ(LayoutReader(run.io, 2, one_i5).get_integer(), 1);
    EXPECT_EQ(run_status([&] { LayoutReader(run.io, 2, one_i5); }), 39);
    EXPECT_EQ(run.errors, std::string("netio: ") + std::strerror(EIO) +
                              "\nnetio: severe (39): error during read, unit 2, file " +
                              path_in_current_directory("input-lin.dat") + "\n");
}

TEST(RecordIoReader, ConsoleFailuresNameTheConsole) {
    std::string report;
    std::string errors;
    StringSink report_sink(report);
    StringSink error_sink(errors);
    MemorySource console("x\n");
    RecordIo io(report_sink, error_sink, console);
    constexpr Layout flag{"(I10)"};
    EXPECT_EQ(run_status([&] { LayoutReader(io, 5, flag).get_integer(); }), 64);
    EXPECT_EQ(run_status([&] { LayoutReader(io, 5, flag); }), 24);
    EXPECT_EQ(errors, "netio: severe (64): input conversion error, unit 5, file CONIN$\n"
                      "netio: severe (24): end-of-file during read, unit 5, file CONIN$\n");
}

// ---- Byte order mark, console and notices ------------------------------------------------

struct MarkCase {
    std::string_view name;
    std::string_view input;
    std::size_t piece; // bytes handed out per read
    int status;        // of reading two I5 records: -1 when both read
    std::int32_t first;
};

std::ostream& operator<<(std::ostream& os, const MarkCase& c) {
    return os << c.name;
}

class ByteOrderMarkTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(ByteOrderMarkTest, OnlyAMarkAtTheVeryStartIsSkipped) {
    const MarkCase& c = GetParam();
    MemoryRun run;
    PieceSource source(c.input, c.piece);
    run.io.use_input_source(source);
    run.io.open_input("input-lin.dat");
    std::int32_t first = 0;
    int status = run_status([&] {
        first = LayoutReader(run.io, 2, one_i5).get_integer();
        LayoutReader(run.io, 2, one_i5).get_integer();
    });
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(first, c.first);
}

INSTANTIATE_TEST_SUITE_P(
    RecordIo, ByteOrderMarkTest,
    ::testing::Values(MarkCase{"mark_then_records", "\xEF\xBB\xBF   12\n    3\n", 4096, -1, 12},
                      // A source that hands out one byte a read still has its mark found.
                      MarkCase{"mark_read_byte_by_byte", "\xEF\xBB\xBF   12\n    3\n", 1, -1, 12},
                      MarkCase{"mark_and_crlf",
                               "\xEF\xBB\xBF"
                               "7\r\n8\r\n",
                               2, -1, 7},
                      // A file of the mark alone holds no record.
                      MarkCase{"mark_only", "\xEF\xBB\xBF", 4096, 24, 0},
                      MarkCase{"mark_then_empty_line", "\xEF\xBB\xBF\n5\n", 4096, -1, 0},
                      // Two marks: the second is a character of the record.
                      MarkCase{"second_mark_is_data", "\xEF\xBB\xBF\xEF\xBB\xBF 1\n2\n", 4096, 64,
                               0},
                      // A mark further on is a character of its record.
                      MarkCase{"mark_in_second_record", "    1\n\xEF\xBB\xBF  2\n", 4096, 64, 1},
                      // The first bytes of a mark and then others are kept as they are.
                      MarkCase{"part_of_a_mark", "\xEF\xBB    1\n2\n", 1, 64, 0},
                      MarkCase{"short_file", "5", 1, 24, 5}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return std::string(info.param.name); });

// The console is read as it comes: a mark there is not the input file's.
TEST(RecordIoConsole, MarkOnTheConsoleIsNotSkipped) {
    std::string report;
    std::string errors;
    StringSink report_sink(report);
    StringSink error_sink(errors);
    MemorySource console("\xEF\xBB\xBF"
                         "1\n");
    RecordIo io(report_sink, error_sink, console);
    EXPECT_EQ(run_status([&] { LayoutReader(io, 5, one_i5).get_integer(); }), 64);
}

// A console that notes how much of the report had been written when it was first read.
class WatchingConsole final : public ByteSource {
public:
    WatchingConsole(const std::string& report, bool terminal)
        : report_(report), terminal_(terminal) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override {
        if (report_at_read.empty()) report_at_read = report_ + "|";
        return text_.read(buffer, size);
    }
    bool is_terminal() const override { return terminal_; }
    std::string report_at_read;

private:
    const std::string& report_;
    bool terminal_;
    MemorySource text_{"1\n"};
};

TEST(RecordIoConsole, ReportSoFarIsWrittenBeforeTheConsoleIsRead) {
    std::string report;
    std::string errors;
    StringSink report_sink(report);
    StringSink error_sink(errors);
    WatchingConsole console(report, false);
    RecordIo io(report_sink, error_sink, console);
    write_record(io, text_only);
    write_record(io, bracketed, 5);
    EXPECT_EQ(LayoutReader(io, 5, one_i5).get_integer(), 1);
    EXPECT_EQ(console.report_at_read, "abc\n< 5>\n|");
    EXPECT_FALSE(io.console_is_terminal());
}

TEST(RecordIoConsole, KnowsATerminal) {
    std::string report;
    StringSink sink(report);
    WatchingConsole console(report, true);
    RecordIo io(sink, sink, console);
    EXPECT_TRUE(io.console_is_terminal());
}

TEST(RecordIoNotice, FollowsTheReportSoFar) {
    std::string transcript;
    StringSink report(transcript, "[out]");
    StringSink errors(transcript, "[err]");
    MemorySource console{std::string_view{}};
    RecordIo io(report, errors, console);
    write_record(io, text_only);
    io.write_notice_line("look");
    write_record(io, text_only);
    io.flush_report();
    EXPECT_EQ(transcript, "[out]abc\n[err]look\n[out]abc\n");
}

} // namespace
} // namespace pipenet

// The record I/O layer: the input file on stream 2, the console on stream 5, the report on
// stream 6, and the failure reports on standard error.
//
// Input is read record by record (a record is one line; a carriage return before the line
// feed is dropped; a last line without a line feed is still a record) under a layout. Output
// is written line by line under a layout. A severe failure writes its report and ends the run
// by throwing RunEnded, which only the driver's outermost frame catches.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "report/fields.hpp"
#include "report/layout.hpp"

namespace pipenet {

// Failure numbers of the layer.
enum class Failure : int {
    permission_denied = 9,
    end_of_file = 24,
    open_failure = 30,
    write_failure = 38,
    read_failure = 39,
    input_conversion = 64,
    output_conversion = 63,
    console_event = 200,
};

// Thrown by a severe failure after its report is written; carries the exit status.
struct RunEnded {
    int status;
};

// Where bytes come from: a file descriptor or a block of memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes into `buffer`. Returns the count, 0 at the end, -1 on an error
    // (errno set).
    virtual std::ptrdiff_t read(char* buffer, std::size_t size) = 0;
    // Whether a person types the bytes at a terminal.
    virtual bool is_terminal() const { return false; }
};

// Where bytes go: a file descriptor or, in tests, memory.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all `size` bytes. Returns false on an error (errno set).
    virtual bool write(const char* data, std::size_t size) = 0;
};

class FdSource final : public ByteSource {
public:
    explicit FdSource(int fd) : fd_(fd) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override;
    bool is_terminal() const override;
    int fd() const { return fd_; }
    void reset(int fd) { fd_ = fd; }

private:
    int fd_;
};

class FdSink final : public ByteSink {
public:
    explicit FdSink(int fd) : fd_(fd) {}
    bool write(const char* data, std::size_t size) override;

private:
    int fd_;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const char* data, std::size_t size) : data_(data), size_(size) {}
    explicit MemorySource(std::string_view text) : data_(text.data()), size_(text.size()) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override;

private:
    const char* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// The first line feed of data[0 .. size) and the first comma before it; npos where there is none.
struct LineScan {
    std::size_t line_feed = std::string_view::npos;
    std::size_t comma = std::string_view::npos;
};
LineScan scan_line(const char* data, std::size_t size);

// Splits a byte stream into records, keeping the first `record_capacity` characters of each.
class RecordStream {
public:
    static constexpr int record_capacity = 256;

    // skip_byte_order_mark: a UTF-8 byte order mark at the very start of the stream is not part
    // of the first record (editors put one at the start of a file saved as "UTF-8 with BOM").
    void attach(ByteSource* source, bool skip_byte_order_mark = false) {
        source_ = source;
        at_start_ = skip_byte_order_mark;
    }
    bool attached() const { return source_ != nullptr; }
    const ByteSource* source() const { return source_; }
    // Moves to the next record. Returns false when no record is left; on a read error returns
    // false with `error` set to the errno value.
    bool next_record(int& error);
    // The record, valid until the next call of next_record; at least field_padding bytes after
    // its end may be read.
    std::string_view record() const { return {record_data_, static_cast<std::size_t>(length_)}; }
    // The first comma of the record (npos: none).
    std::size_t first_comma() const { return first_comma_; }
    // True once a byte order mark has been skipped at the start of the stream.
    bool skipped_byte_order_mark() const { return skipped_mark_; }

private:
    bool fill(int& error);
    bool skip_byte_order_mark(int& error);

    ByteSource* source_ = nullptr;
    bool at_start_ = false; // the byte order mark is still to be looked for
    bool skipped_mark_ = false;
    std::array<char, 8192> buffer_; // not cleared: every byte is read into before use
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
    // A record that lies whole in the buffer with room after it is read where it lies; any
    // other is gathered here. The padding lets a field near the end of a record be read in one
    // block.
    std::array<char, record_capacity + field_padding> record_{};
    const char* record_data_ = record_.data();
    int length_ = 0;
    std::size_t first_comma_ = std::string_view::npos;
};

class RecordIo {
public:
    // report: stream 6; errors: standard error; console: stream 5.
    RecordIo(ByteSink& report, ByteSink& errors, ByteSource& console);
    RecordIo(const RecordIo&) = delete;
    RecordIo& operator=(const RecordIo&) = delete;

    // Input file, stream 2. Opens `name` in the current directory with status unknown: an
    // existing file unchanged, a missing one created empty; read-write where allowed, read-only
    // where not. A file given with use_input_source is taken instead of opening one (the name
    // is still the one reported).
    void open_input(std::string_view name);
    void use_input_source(ByteSource& source) { preset_input_ = &source; }

    // Moves stream `unit` (2 or 5) to its next record; a severe failure when none is left. The
    // console is read only after the report so far is written out, so that a person at a
    // terminal sees it before typing.
    std::string_view next_record(int unit);
    // The first comma of the record stream `unit` is at (npos: none).
    std::size_t first_comma(int unit) const {
        return (unit == 5 ? console_ : input_).first_comma();
    }
    bool console_is_terminal() const;
    [[noreturn]] void input_conversion_error(int unit);

    // Report output, used by LayoutWriter.
    void append(const char* data, std::size_t size);
    void append_blanks(int count);
    void end_line() {
        room(1)[0] = '\n';
        ++out_length_;
        last_byte_was_line_end_ = true;
    }
    void output_conversion_error();
    // Writes one line on standard error, after the report so far: a notice of the program's
    // own, not a failure of the layer.
    void write_notice_line(std::string_view text);
    // Writes the buffered report. Called at the end of the run and before anything goes to
    // standard error.
    void flush_report();

    // The report lock: held by a write from its first to its last line, so that a console
    // event never writes half a line.
    void lock_report();
    void unlock_report();

    // Writes one line of a flat layout (Layout::flat_fields) with one value per field, each
    // converted as LayoutWriter::put converts it: the same bytes, without the item-by-item walk.
    template <class... Values>
    void write_flat_line(const Layout& layout, Values... values);

    // Ends the run from the console-event thread: writes what the report holds, the failure
    // report, and exits with 128 + signal without returning.
    [[noreturn]] void console_event(int signal_number);

private:
    friend class LayoutWriter;

    // The report buffer holds out_capacity bytes; a piece that does not fit sends the buffer
    // first. The slack after it takes the few bytes a block copy may store past a piece.
    static constexpr std::size_t out_capacity = 16384;
    static constexpr std::size_t out_slack = 64;

    // Where the next `size` bytes go (size <= out_capacity).
    char* room(std::size_t size) {
        if (out_length_ + size > out_capacity) send_buffer();
        return out_.data() + out_length_;
    }
    void send_buffer();

    void report_failure(const char* severity, Failure number, int unit, int os_error);
    [[noreturn]] void severe(Failure number, int unit, int os_error = 0);
    void write_error_line(std::string_view text);
    void write_report_bytes(const char* data, std::size_t size);
    std::string_view stream_name(int unit) const;

    ByteSink& report_;
    ByteSink& errors_;
    RecordStream input_;
    RecordStream console_;
    FdSource input_fd_{-1};
    ByteSource* preset_input_ = nullptr;
    std::array<char, 4096> input_path_;
    std::size_t input_path_length_ = 0;

    std::array<char, out_capacity + out_slack> out_;
    std::size_t out_length_ = 0;
    bool last_byte_was_line_end_ = true;
    std::atomic_flag report_lock_ = ATOMIC_FLAG_INIT;
};

// Writes one record under a layout: put each value in turn, then finish. The layout starts a
// new line; a field with no value left ends the write; values left at the end of the layout
// begin a new line and the layout again.
class LayoutWriter {
public:
    LayoutWriter(RecordIo& io, const Layout& layout);
    ~LayoutWriter();
    LayoutWriter(const LayoutWriter&) = delete;
    LayoutWriter& operator=(const LayoutWriter&) = delete;

    void put(std::int32_t value);
    void put(float value);
    void finish();

private:
    // Writes the items up to the next field. Returns its index, or -1 at the end of the layout.
    int advance_to_field();
    // As advance_to_field, beginning a new line and the layout again at the end of the layout.
    // The next field when the writer is not at one already.
    int next_field();

    // A flat layout (Layout::flat_fields > 0) is written a line at a time: the line's image is
    // copied in when the line starts, each value over its field; the line is cut after the
    // static text before the first field left without a value. Any other layout is walked
    // item by item.
    template <class Value>
    void put_value(Value value);
    void open_flat_line();
    void close_flat_line();

    RecordIo& io_;
    const Layout& layout_;
    int position_ = 0;
    std::array<std::int16_t, 8> group_left_{};
    int depth_ = 0;
    bool overflow_ = false;
    bool finished_ = false;
    bool flat_line_open_ = false;
    int flat_field_ = 0;              // the next field of the open flat line
    std::size_t flat_line_start_ = 0; // where the open flat line starts in the report buffer
};

// The field of `width` columns at `column` of `record`, cut short by the end of the record or by
// a comma (the next field then starts after the comma). column: in-out, moved past the field.
// next_comma: in-out, the first comma of record at or after column (npos: none), or one before
// column not passed over yet; the record is searched again only past a comma used up, so the
// common record without commas costs one search for all its fields.
[[gnu::always_inline]] inline std::string_view cut_field(std::string_view record,
                                                         std::size_t& column, std::size_t width,
                                                         std::size_t& next_comma) {
    if (next_comma == std::string_view::npos) {
        // No comma from here on: the field's own columns, cut short by the end of the record.
        const std::size_t start = column;
        column += width;
        if (start >= record.size()) return {};
        const std::size_t rest = record.size() - start;
        return {record.data() + start, width < rest ? width : rest};
    }
    std::string_view rest = column < record.size() ? record.substr(column) : std::string_view{};
    std::string_view field = rest.substr(0, width < rest.size() ? width : rest.size());
    if (next_comma < column) next_comma = record.find(',', column);
    if (next_comma < column + field.size()) {
        std::size_t comma = next_comma - column;
        field = field.substr(0, comma);
        column += comma + 1;
    } else {
        column += width;
    }
    return field;
}

// Reads one record under a layout, value by value.
class LayoutReader {
public:
    LayoutReader(RecordIo& io, int unit, const Layout& layout);

    std::int32_t get_integer();
    float get_real();

private:
    std::string_view next_field(ItemKind kind);
    std::string_view take_field(const LayoutItem& item);
    void start_record();

    RecordIo& io_;
    int unit_;
    const Layout& layout_;
    std::string_view record_;
    // The first comma of record_ at or after column_ (npos: none), or one before column_ that
    // has not been passed over yet.
    std::size_t next_comma_;
    std::size_t column_ = 0;
    int position_ = 0;
    std::array<std::int16_t, 8> group_left_{};
    int depth_ = 0;
};

// Writes an empty line: the free-form write with no values.
void write_empty_record(RecordIo& io);

// Writes one whole record under a layout with the given values.
template <class... Values>
void write_record(RecordIo& io, const Layout& layout, Values... values) {
    if (layout.flat_fields() == static_cast<int>(sizeof...(Values))) {
        io.write_flat_line(layout, values...);
        return;
    }
    LayoutWriter writer(io, layout);
    (writer.put(values), ...);
    writer.finish();
}

// Writes a value into its field of a line: an integer as Iw, a real as Fw.d. Returns false
// when it does not fit (the field then holds asterisks).
inline bool write_field(char* line, const FlatField& field, std::int32_t value) {
    return write_integer_field(line + field.offset, field.width, value);
}

inline bool write_field(char* line, const FlatField& field, float value) {
    return write_real_field(line + field.offset, field.width, field.decimals, value);
}

template <class... Values>
void RecordIo::write_flat_line(const Layout& layout, Values... values) {
    bool fits = true;
    {
        // Released on the way out of a failing write too.
        struct Lock {
            RecordIo& io;
            explicit Lock(RecordIo& owner) : io(owner) { io.lock_report(); }
            ~Lock() { io.unlock_report(); }
        } lock(*this);
        const auto length = static_cast<std::size_t>(layout.flat_line_length());
        char* line = room(length + 1);
        // Whole 16-byte blocks: the image and the buffer both have room past the line's end.
        static_assert(flat_image_padding >= 16 && out_slack >= 16);
        for (std::size_t i = 0; i < length; i += 16)
            std::memcpy(line + i, layout.flat_line_image() + i, 16);
        int k = 0;
        ((fits = write_field(line, layout.flat_field(k++), values) && fits), ...);
        line[length] = '\n';
        out_length_ += length + 1;
        last_byte_was_line_end_ = true;
    }
    if (!fits) output_conversion_error();
}

} // namespace pipenet

#include "report/record_io.hpp"

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "report/fields.hpp"

namespace pipenet {

std::ptrdiff_t FdSource::read(char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool FdSource::is_terminal() const {
    return ::isatty(fd_) == 1;
}

bool FdSink::write(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::ptrdiff_t MemorySource::read(char* buffer, std::size_t size) {
    std::size_t n = size_ - position_ < size ? size_ - position_ : size;
    if (n > 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return static_cast<std::ptrdiff_t>(n);
}

bool RecordStream::fill(int& error) {
    std::ptrdiff_t n = source_->read(buffer_.data(), buffer_.size());
    if (n < 0) {
        error = errno != 0 ? errno : EIO;
        exhausted_ = true;
        return false;
    }
    position_ = 0;
    end_ = static_cast<std::size_t>(n);
    if (n == 0) exhausted_ = true;
    return n > 0;
}

bool RecordStream::skip_byte_order_mark(int& error) {
    static constexpr char mark[] = "\xEF\xBB\xBF";
    constexpr std::size_t mark_size = sizeof mark - 1;
    at_start_ = false;
    // A source may hand out fewer bytes a read: gather them while they could still be a mark.
    while (end_ < mark_size && !exhausted_ && std::memcmp(buffer_.data(), mark, end_) == 0) {
        std::ptrdiff_t n = source_->read(buffer_.data() + end_, buffer_.size() - end_);
        if (n < 0) {
            error = errno != 0 ? errno : EIO;
            exhausted_ = true;
            return false;
        }
        if (n == 0) exhausted_ = true;
        end_ += static_cast<std::size_t>(n);
    }
    if (end_ >= mark_size && std::memcmp(buffer_.data(), mark, mark_size) == 0) {
        position_ = mark_size;
        skipped_mark_ = true;
    }
    return true;
}

LineScan scan_line(const char* data, std::size_t size) {
    LineScan scan;
    std::size_t at = 0;
#if defined(__SSE2__)
    // Sixteen characters at a time: the line feeds and the commas of a block as bit masks.
    const auto look = [&scan](const char* block, std::size_t offset, unsigned dropped) {
        const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        const unsigned feeds =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8('\n')))) >>
            dropped;
        unsigned commas =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8(',')))) >>
            dropped;
        if (feeds != 0) commas &= (1u << std::countr_zero(feeds)) - 1;
        if (commas != 0 && scan.comma == std::string_view::npos)
            scan.comma = offset + static_cast<std::size_t>(std::countr_zero(commas));
        if (feeds == 0) return false;
        scan.line_feed = offset + static_cast<std::size_t>(std::countr_zero(feeds));
        return true;
    };
    for (; at + 16 <= size; at += 16)
        if (look(data + at, at, 0)) return scan;
    if (at < size && size >= 16) {
        // The last block overlaps the one before: its characters before `at` are dropped.
        look(data + size - 16, at, static_cast<unsigned>(at - (size - 16)));
        return scan;
    }
#endif
    for (; at < size; ++at) {
        if (data[at] == '\n') {
            scan.line_feed = at;
            return scan;
        }
        if (data[at] == ',' && scan.comma == std::string_view::npos) scan.comma = at;
    }
    return scan;
}

bool RecordStream::next_record(int& error) {
    error = 0;
    length_ = 0;
    record_data_ = record_.data();
    first_comma_ = std::string_view::npos;
    if (at_start_ && !skip_byte_order_mark(error)) return false;
    if (position_ == end_ && (exhausted_ || !fill(error))) return false;
    {
        // The common record: its line feed in the buffer, and bytes read into the buffer after
        // it for the padding.
        const char* start = buffer_.data() + position_;
        const LineScan scan = scan_line(start, end_ - position_);
        if (scan.line_feed != std::string_view::npos &&
            position_ + scan.line_feed + field_padding <= end_) {
            const std::size_t line = scan.line_feed;
            std::size_t kept = line < record_capacity ? line : record_capacity;
            if (line > 0 && start[line - 1] == '\r' && kept < record_capacity) --kept;
            record_data_ = start;
            length_ = static_cast<int>(kept);
            if (scan.comma < kept) first_comma_ = scan.comma;
            position_ += line + 1;
            return true;
        }
    }
    // A record runs to the next line feed or the end of the data; characters beyond the
    // record capacity are passed over, since no layout reaches them.
    bool last_was_carriage_return = false;
    for (;;) {
        if (position_ == end_) {
            if (exhausted_ || !fill(error)) break;
        }
        const char* start = buffer_.data() + position_;
        const char* stop = buffer_.data() + end_;
        const char* line_feed = static_cast<const char*>(
            std::memchr(start, '\n', static_cast<std::size_t>(stop - start)));
        const char* piece_end = line_feed != nullptr ? line_feed : stop;
        std::size_t piece = static_cast<std::size_t>(piece_end - start);
        if (piece > 0) {
            std::size_t room = static_cast<std::size_t>(record_capacity - length_);
            std::size_t kept = piece < room ? piece : room;
            std::memcpy(record_.data() + length_, start, kept);
            length_ += static_cast<int>(kept);
            last_was_carriage_return = piece_end[-1] == '\r';
        }
        position_ = static_cast<std::size_t>(piece_end - buffer_.data());
        if (line_feed != nullptr) {
            ++position_;
            break;
        }
    }
    if (error != 0) return false;
    if (last_was_carriage_return && length_ > 0 && length_ < record_capacity) --length_;
    first_comma_ = record().find(',');
    return true;
}

RecordIo::RecordIo(ByteSink& report, ByteSink& errors, ByteSource& console)
    : report_(report), errors_(errors) {
    console_.attach(&console);
}

std::string_view RecordIo::stream_name(int unit) const {
    if (unit == 5) return "CONIN$";
    if (unit == 6) return "CONOUT$";
    return {input_path_.data(), input_path_length_};
}

void RecordIo::open_input(std::string_view name) {
    // The reported name is the full path of the file in the current directory.
    std::size_t length = 0;
    if (::getcwd(input_path_.data(), input_path_.size() - name.size() - 2) != nullptr) {
        length = std::strlen(input_path_.data());
        if (length == 0 || input_path_[length - 1] != '/') input_path_[length++] = '/';
    }
    std::memcpy(input_path_.data() + length, name.data(), name.size());
    input_path_length_ = length + name.size();

    if (preset_input_ != nullptr) {
        input_.attach(preset_input_, true);
        return;
    }

    std::array<char, 256> local_name{};
    std::memcpy(local_name.data(), name.data(), name.size() < 255 ? name.size() : 255);
    int fd = ::open(local_name.data(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EISDIR || errno == ETXTBSY)) {
        int first_error = errno;
        fd = ::open(local_name.data(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) errno = first_error;
    }
    if (fd < 0) {
        int os_error = errno;
        severe(os_error == EACCES || os_error == EPERM ? Failure::permission_denied
                                                       : Failure::open_failure,
               2, os_error);
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(fd);
        severe(Failure::open_failure, 2, EISDIR);
    }
    input_fd_.reset(fd);
    input_.attach(&input_fd_, true);
}

std::string_view RecordIo::next_record(int unit) {
    RecordStream& stream = unit == 5 ? console_ : input_;
    if (unit == 5) flush_report();
    if (!stream.attached()) severe(Failure::end_of_file, unit);
    int error = 0;
    if (!stream.next_record(error)) {
        if (error != 0) severe(Failure::read_failure, unit, error);
        severe(Failure::end_of_file, unit);
    }
    return stream.record();
}

bool RecordIo::console_is_terminal() const {
    return console_.attached() && console_.source()->is_terminal();
}

void RecordIo::input_conversion_error(int unit) {
    severe(Failure::input_conversion, unit);
}

void RecordIo::write_report_bytes(const char* data, std::size_t size) {
    if (size == 0) return;
    if (!report_.write(data, size)) {
        int os_error = errno;
        out_length_ = 0;
        severe(Failure::write_failure, 6, os_error);
    }
}

void RecordIo::send_buffer() {
    std::size_t length = out_length_;
    out_length_ = 0;
    write_report_bytes(out_.data(), length);
}

void RecordIo::append(const char* data, std::size_t size) {
    // Every piece is one literal or one field, far shorter than the buffer.
    if (size == 0) return;
    std::memcpy(room(size), data, size);
    out_length_ += size;
    last_byte_was_line_end_ = data[size - 1] == '\n';
}

void RecordIo::append_blanks(int count) {
    static constexpr char blanks[] = "                                                  ";
    while (count > 0) {
        int n = count < 50 ? count : 50;
        append(blanks, static_cast<std::size_t>(n));
        count -= n;
    }
}

void RecordIo::flush_report() {
    lock_report();
    std::size_t length = out_length_;
    out_length_ = 0;
    try {
        write_report_bytes(out_.data(), length);
    } catch (...) {
        unlock_report();
        throw;
    }
    unlock_report();
}

void RecordIo::lock_report() {
    // Only the console-event thread ever holds the lock against a writer, and it ends the
    // process: a plain spin that yields is enough, and unlocking needs no wake-up.
    while (report_lock_.test_and_set(std::memory_order_acquire)) ::sched_yield();
}

void RecordIo::unlock_report() {
    report_lock_.clear(std::memory_order_release);
}

void RecordIo::write_error_line(std::string_view text) {
    std::array<char, 4352> line{};
    std::size_t n = text.size() < line.size() - 1 ? text.size() : line.size() - 1;
    std::memcpy(line.data(), text.data(), n);
    line[n++] = '\n';
    errors_.write(line.data(), n);
}

namespace {

// The message text of each failure, completed by the unit and the file in the report line.
const char* failure_text(Failure number) {
    switch (number) {
    case Failure::permission_denied:
        return "permission to access file denied";
    case Failure::end_of_file:
        return "end-of-file during read";
    case Failure::open_failure:
        return "open failure";
    case Failure::write_failure:
        return "error during write";
    case Failure::read_failure:
        return "error during read";
    case Failure::input_conversion:
        return "input conversion error";
    case Failure::output_conversion:
        return "output conversion error";
    case Failure::console_event:
        break;
    }
    return "";
}

} // namespace

void RecordIo::report_failure(const char* severity, Failure number, int unit, int os_error) {
    // A failing report stream has nothing left to flush, and its writer holds the lock.
    if (number != Failure::write_failure) flush_report();
    std::array<char, 4352> text{};
    if (os_error != 0) {
        int n = std::snprintf(text.data(), text.size(), "netio: %s", std::strerror(os_error));
        write_error_line({text.data(), static_cast<std::size_t>(n > 0 ? n : 0)});
    }
    std::string_view name = stream_name(unit);
    const char* message = failure_text(number);
    int n = std::snprintf(text.data(), text.size(), "netio: %s (%d): %s, unit %d, file %.*s",
                          severity, static_cast<int>(number), message, unit,
                          static_cast<int>(name.size()), name.data());
    write_error_line({text.data(), static_cast<std::size_t>(n > 0 ? n : 0)});
}

void RecordIo::severe(Failure number, int unit, int os_error) {
    report_failure("severe", number, unit, os_error);
    throw RunEnded{static_cast<int>(number)};
}

void RecordIo::write_notice_line(std::string_view text) {
    flush_report();
    write_error_line(text);
}

void RecordIo::output_conversion_error() {
    report_failure("error", Failure::output_conversion, 6, 0);
}

void RecordIo::console_event(int signal_number) {
    // Wait a moment for a write in progress to finish its line; a report stream that cannot
    // take the bytes must not keep the run from ending.
    bool locked = false;
    for (int attempt = 0; attempt < 1000 && !locked; ++attempt) {
        locked = !report_lock_.test_and_set(std::memory_order_acquire);
        if (!locked) {
            timespec pause{0, 1'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }
    if (locked) {
        report_.write(out_.data(), out_length_);
        if (!last_byte_was_line_end_) report_.write("\n", 1);
    }
    const char* event = signal_number == 2   ? "control-C"
                        : signal_number == 3 ? "control-BREAK"
                                             : "menu-CLOSE";
    std::array<char, 128> text{};
    int n = std::snprintf(text.data(), text.size(),
                          "netio: error (200): program aborting due to %s event\n", event);
    errors_.write(text.data(), static_cast<std::size_t>(n));
    ::_exit(128 + signal_number);
}

// ---- Layout writer ------------------------------------------------------------------------

LayoutWriter::LayoutWriter(RecordIo& io, const Layout& layout) : io_(io), layout_(layout) {
    io_.lock_report();
}

LayoutWriter::~LayoutWriter() {
    if (!finished_) io_.unlock_report();
}

int LayoutWriter::advance_to_field() {
    const int size = layout_.size();
    while (position_ < size) {
        const LayoutItem& item = layout_[position_];
        if (item.run_end != 0) {
            // The static items up to the next field, written in one piece.
            std::size_t length = item.run_length;
            if (length > 0) {
                const char* text = layout_.run_text(item);
                char* out = io_.room(length);
                if (length <= 32) {
                    // Whole 8-byte blocks: the rendered text and the buffer both have room
                    // for the bytes past the end.
                    for (std::size_t i = 0; i < length; i += 8) std::memcpy(out + i, text + i, 8);
                } else {
                    std::memcpy(out, text, length);
                }
                io_.out_length_ += length;
                io_.last_byte_was_line_end_ = text[length - 1] == '\n';
            }
            position_ = item.run_end;
            continue;
        }
        switch (item.kind) {
        case ItemKind::literal: {
            std::string_view text = layout_.literal(item);
            io_.append(text.data(), text.size());
            break;
        }
        case ItemKind::new_line:
            io_.end_line();
            break;
        case ItemKind::blanks:
            io_.append_blanks(item.width);
            break;
        case ItemKind::group_open:
            group_left_[static_cast<std::size_t>(depth_++)] = item.width;
            break;
        case ItemKind::group_close:
            if (--group_left_[static_cast<std::size_t>(depth_ - 1)] > 0) {
                position_ = item.partner;
            } else {
                --depth_;
            }
            break;
        case ItemKind::integer:
        case ItemKind::real:
            return position_;
        }
        ++position_;
    }
    return -1;
}

int LayoutWriter::next_field() {
    int field = advance_to_field();
    if (field < 0) {
        // Values remain at the end of the layout: a new line, and the layout from its start.
        io_.end_line();
        position_ = 0;
        depth_ = 0;
        field = advance_to_field();
    }
    return field;
}

void LayoutWriter::open_flat_line() {
    const auto length = static_cast<std::size_t>(layout_.flat_line_length());
    char* line = io_.room(length + 1);
    // Whole 16-byte blocks: the image and the buffer both have room past the line's end.
    for (std::size_t i = 0; i < length; i += 16)
        std::memcpy(line + i, layout_.flat_line_image() + i, 16);
    flat_line_start_ = io_.out_length_;
    io_.out_length_ += length;
    io_.last_byte_was_line_end_ = length == 0;
    flat_line_open_ = true;
    flat_field_ = 0;
}

void LayoutWriter::close_flat_line() {
    const int kept = flat_field_ == layout_.flat_fields() ? layout_.flat_line_length()
                                                          : layout_.flat_field(flat_field_).offset;
    io_.out_length_ = flat_line_start_ + static_cast<std::size_t>(kept);
    io_.end_line();
    flat_line_open_ = false;
}

template <class Value>
void LayoutWriter::put_value(Value value) {
    if (layout_.flat_fields() > 0) {
        // Values left at the end of the layout begin a new line and the layout again.
        if (flat_line_open_ && flat_field_ == layout_.flat_fields()) close_flat_line();
        if (!flat_line_open_) open_flat_line();
        if (!write_field(io_.out_.data() + flat_line_start_, layout_.flat_field(flat_field_++),
                         value))
            overflow_ = true;
        return;
    }
    // Most values go straight into the field the last one left the writer at: that test is
    // made here, without a call.
    int field = position_ < layout_.size() && Layout::is_field(layout_[position_].kind)
                    ? position_
                    : next_field();
    if (field < 0) return;
    // The layout holds no field wider than max_field_width: it fits the buffer as it is.
    const LayoutItem& item = layout_[field];
    if (!write_field(io_.room(static_cast<std::size_t>(item.width)),
                     FlatField{0, item.width, item.decimals}, value))
        overflow_ = true;
    io_.out_length_ += static_cast<std::size_t>(item.width);
    io_.last_byte_was_line_end_ = false;
    ++position_;
}

void LayoutWriter::put(std::int32_t value) {
    put_value(value);
}

void LayoutWriter::put(float value) {
    put_value(value);
}

void LayoutWriter::finish() {
    if (layout_.flat_fields() > 0) {
        if (!flat_line_open_) open_flat_line();
        close_flat_line();
    } else {
        if (position_ < layout_.size()) advance_to_field();
        io_.end_line();
    }
    finished_ = true;
    io_.unlock_report();
    if (overflow_) io_.output_conversion_error();
}

void write_empty_record(RecordIo& io) {
    io.lock_report();
    io.end_line();
    io.unlock_report();
}

// ---- Layout reader ------------------------------------------------------------------------

LayoutReader::LayoutReader(RecordIo& io, int unit, const Layout& layout)
    : io_(io), unit_(unit), layout_(layout), record_(io.next_record(unit)),
      next_comma_(io.first_comma(unit)) {}

void LayoutReader::start_record() {
    record_ = io_.next_record(unit_);
    column_ = 0;
    next_comma_ = io_.first_comma(unit_);
}

// The field of `item` (the item at position_): its columns, cut short by the end of the record
// or by a comma; the reader moves past it.
[[gnu::always_inline]] inline std::string_view LayoutReader::take_field(const LayoutItem& item) {
    ++position_;
    return cut_field(record_, column_, static_cast<std::size_t>(item.width), next_comma_);
}

std::string_view LayoutReader::next_field(ItemKind kind) {
    for (;;) {
        if (position_ >= layout_.size()) {
            // Values remain at the end of the layout: the next record, and the layout again.
            start_record();
            position_ = 0;
            depth_ = 0;
            continue;
        }
        const LayoutItem& item = layout_[position_];
        switch (item.kind) {
        case ItemKind::literal:
            column_ += item.text_length;
            break;
        case ItemKind::new_line:
            start_record();
            break;
        case ItemKind::blanks:
            column_ += static_cast<std::size_t>(item.width);
            break;
        case ItemKind::group_open:
            group_left_[static_cast<std::size_t>(depth_++)] = item.width;
            break;
        case ItemKind::group_close:
            if (--group_left_[static_cast<std::size_t>(depth_ - 1)] > 0) {
                position_ = item.partner;
            } else {
                --depth_;
            }
            break;
        case ItemKind::integer:
        case ItemKind::real:
            (void)kind;
            return take_field(item);
        }
        ++position_;
    }
}

std::int32_t LayoutReader::get_integer() {
    // Most values are read from the field the last one left the reader at: taken here directly.
    std::string_view field = position_ < layout_.size() && Layout::is_field(layout_[position_].kind)
                                 ? take_field(layout_[position_])
                                 : next_field(ItemKind::integer);
    std::int32_t value = 0;
    if (!read_integer_field_padded(field, value)) io_.input_conversion_error(unit_);
    return value;
}

float LayoutReader::get_real() {
    int decimals = 0;
    // next_field has moved past the item; its decimals are those of the item before.
    std::string_view field = position_ < layout_.size() && Layout::is_field(layout_[position_].kind)
                                 ? take_field(layout_[position_])
                                 : next_field(ItemKind::real);
    decimals = layout_[position_ - 1].decimals;
    float value = 0.0f;
    if (!read_real_field_padded(field, decimals, value)) io_.input_conversion_error(unit_);
    return value;
}

} // namespace pipenet

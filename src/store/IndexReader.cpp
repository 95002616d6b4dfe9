#include "store/IndexReader.h"

#include "base/HeapReserve.h"

#include "store/JsonText.h"
#include "store/JsonView.h"

#include <QFile>
#include <QMutex>
#include <QStringDecoder>

#include <rapidjson/reader.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// The index holds every note's text, so it is as large as the notes folder. Reading it into
// memory and parsing it into a document tree held the text three times over (the file, the
// tree, the notes) at every start. Here the file is mapped, a parser walks it once handing
// over one value at a time, and only the values the index needs are kept until their record
// is complete. The note bodies, most of the work (every byte turned into text in fresh
// memory), are only located in that walk; two threads then turn them into text, each giving
// back the file's pages it has passed. The records go through the same readers as a document
// tree's values, so the rules live once.

namespace {

/// One value the reader kept: a scalar, a record of the members it needs, or (for a note's
/// attachments) an array of such records.
struct Value
{
    enum class Type : quint8 { Absent, Null, String, Number, Bool, Object, Array, Other };
    Type type = Type::Absent;
    bool boolean = false;
    double number = 0;
    QString string;
    std::vector<std::pair<const char *, Value>> members;
    std::vector<Value> elements;

    void reset(Type to)
    {
        type = to;
        boolean = false;
        number = 0;
        string.clear();
        members.clear();
        elements.clear();
    }
    /// The member `name` (one of the reader's own names), made absent before it is set again:
    /// a repeated member counts as its last occurrence.
    Value &member(const char *name)
    {
        for (auto &[key, value] : members) {
            if (key == name)
                return value;
        }
        return members.emplace_back(name, Value {}).second;
    }
};

/// A kept value as the shared record readers see values (store/JsonView.h).
class ValueView
{
public:
    explicit ValueView(const Value *value)
        : m_value(value)
    {
    }
    bool isObject() const { return type() == Value::Type::Object; }
    bool isArray() const { return type() == Value::Type::Array; }
    bool isString() const { return type() == Value::Type::String; }
    bool isNumber() const { return type() == Value::Type::Number; }
    bool isBool() const { return type() == Value::Type::Bool; }
    bool isAbsent() const { return type() == Value::Type::Absent || type() == Value::Type::Null; }
    QString toString() const { return isString() ? m_value->string : QString(); }
    double toDouble() const { return isNumber() ? m_value->number : 0.0; }
    bool toBool() const { return isBool() && m_value->boolean; }
    ValueView member(const char *name) const
    {
        if (isObject()) {
            for (const auto &[key, value] : m_value->members) {
                if (std::strcmp(key, name) == 0)
                    return ValueView(&value);
            }
        }
        return ValueView(nullptr);
    }
    template<typename F> void forEach(F &&visit) const
    {
        if (!isArray())
            return;
        for (const Value &element : m_value->elements)
            visit(ValueView(&element));
    }

private:
    Value::Type type() const { return m_value ? m_value->type : Value::Type::Absent; }
    const Value *m_value;
};

// The names the index's records are read by, each spelled once so that a member is found by
// its pointer.
const char *const kNoteNames[]
    = { "id", "body", "createdAt", "updatedAt", "deleted", "attachments" };
const char *const kAttachmentNames[] = { "id", "kind", "filename", "createdAt", "duration" };
const char *const kMetaNames[]
    = { "id", "filename", "dirty", "purged", "fileHash", "fileSize", "fileStamp" };

template<size_t N>
const char *knownName(const char *const (&names)[N], const char *key, size_t length)
{
    for (const char *name : names) {
        if (std::strlen(name) == length && std::memcmp(name, key, length) == 0)
            return name;
    }
    return nullptr;
}

/// Turns a bus error on a guarded mapping into a page of zeros. A mapped file that another
/// program cuts short while it is read would otherwise end the process at the next access;
/// with the guard the parser meets a NUL there and stops with an error. Faults elsewhere go
/// to whatever handled them before (the crash reports).
class MappingGuard
{
public:
    MappingGuard(const char *begin, size_t length)
    {
        s_mutex.lock(); // one guarded mapping at a time: the handler knows one range
        s_begin.store(reinterpret_cast<uintptr_t>(begin));
        s_end.store(reinterpret_cast<uintptr_t>(begin) + length);
        s_hit.store(false);
        struct sigaction action = {};
        action.sa_sigaction = &MappingGuard::onBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &s_previous);
    }
    ~MappingGuard()
    {
        ::sigaction(SIGBUS, &s_previous, nullptr);
        s_begin.store(0);
        s_end.store(0);
        s_mutex.unlock();
    }
    MappingGuard(const MappingGuard &) = delete;
    MappingGuard &operator=(const MappingGuard &) = delete;

    /// Whether the file was cut short while guarded (its bytes cannot be trusted).
    static bool hit() { return s_hit.load(); }

private:
    static void onBusError(int signal, siginfo_t *info, void *)
    {
        const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
        if (address >= s_begin.load() && address < s_end.load()) {
            const uintptr_t page = address & ~uintptr_t(::sysconf(_SC_PAGESIZE) - 1);
            ::mmap(reinterpret_cast<void *>(page), size_t(::sysconf(_SC_PAGESIZE)), PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            s_hit.store(true);
            return;
        }
        // Not ours: the earlier handler takes it when the access repeats.
        ::sigaction(signal, &s_previous, nullptr);
    }

    static inline QMutex s_mutex;
    static inline std::atomic<uintptr_t> s_begin { 0 };
    static inline std::atomic<uintptr_t> s_end { 0 };
    static inline std::atomic<bool> s_hit { false };
    static inline struct sigaction s_previous = {};
};

/// A file's bytes, followed by a NUL, which the parser needs. The file is mapped: its pages
/// come straight from the system's cache, where reading them would first copy every byte
/// into fresh memory (tens of megabytes at every start). Pages the parser has passed are let
/// go of at once. Where a file cannot be mapped, it is read instead.
class PageBuffer
{
public:
    ~PageBuffer()
    {
        if (m_data)
            ::munmap(m_data, m_capacity);
    }

    /// False when the file cannot be read, or changes size while it is read.
    bool open(const QString &path)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat status
        {
        };
        bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
        if (ok) {
            static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
            m_size = size_t(status.st_size);
            // One page more than the file: whatever its size, a zero byte follows it.
            m_capacity = (m_size / page + 1) * page;
            void *area = ::mmap(nullptr, m_capacity, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            ok = area != MAP_FAILED;
            m_data = ok ? static_cast<char *>(area) : nullptr;
            if (!ok)
                m_capacity = 0;
        }
        if (ok && m_size > 0) {
            void *mapped
                = ::mmap(m_data, m_size, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0);
            m_mapped = mapped != MAP_FAILED;
            if (!m_mapped) // the anonymous pages are still there: read into them
                ok = readAll(fd);
        }
        ::close(fd);
        return ok;
    }

    const char *data() const { return m_data; }
    size_t size() const { return m_size; }
    bool mapped() const { return m_mapped; }

    /// Gives back the whole pages within [from, to): nothing reads them any more.
    void release(size_t from, size_t to)
    {
        static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        const size_t begin = (from + page - 1) / page * page;
        const size_t end = to / page * page;
        if (end > begin)
            ::madvise(m_data + begin, end - begin, MADV_DONTNEED);
    }

private:
    bool readAll(int fd)
    {
        size_t got = 0;
        while (got < m_size) {
            const ssize_t n = ::read(fd, m_data + got, m_size - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            got += size_t(n);
        }
        // One byte more than announced means the file grew while it was read.
        char extra = 0;
        return ::read(fd, &extra, 1) == 0;
    }

    char *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    bool m_mapped = false;
};

/// How much fresh memory a thread making note texts readies at a time.
constexpr size_t kReserveStep = 8u << 20;

/// A note whose body was located but not yet turned into text.
struct PendingNote
{
    Note note;
    size_t bodyOffset = 0; ///< the body's JSON text in the file, between its quotes
    size_t bodyLength = 0;
    size_t bodyBytes = 0; ///< its UTF-8 bytes once unescaped: room enough for its text
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool hex4(const char *&p, const char *end, char16_t &unit)
{
    if (end - p < 4)
        return false;
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(p[i]);
        if (digit < 0)
            return false;
        value = value << 4 | unsigned(digit);
    }
    p += 4;
    unit = char16_t(value);
    return true;
}

/// Turns a JSON string's text as written (escapes and all) into the note text it holds;
/// `room` is its length once unescaped, in UTF-8 bytes. False for whatever is not plainly
/// valid (broken UTF-8, a lone surrogate): the whole-document decoder then decides what such a
/// file means.
bool decodeJsonString(const char *raw, size_t length, size_t room, NoteText &into)
{
    // Allocated at its final size: growing an array rounds its capacity up, by as much as half
    // again.
    QByteArray text(qsizetype(room), Qt::Uninitialized);
    char *out = text.data();
    // The room was measured by the parser; the bytes are read again now. Should another
    // program have changed them meanwhile, they may need more: never written past it.
    const char *const limit = out + room;
    const char *p = raw;
    const char *const end = raw + length;
    while (p < end) {
        const auto *escape = static_cast<const char *>(std::memchr(p, '\\', size_t(end - p)));
        const char *runEnd = escape ? escape : end;
        if (runEnd > p) {
            // A backslash never falls inside a multi-byte sequence: runs are checked on their
            // own.
            const QByteArrayView run(p, runEnd - p);
            if (run.size() > limit - out || !run.isValidUtf8())
                return false;
            std::memcpy(out, run.data(), size_t(run.size()));
            out += run.size();
        }
        if (!escape)
            break;
        p = escape + 1;
        if (p >= end || out == limit)
            return false;
        switch (*p++) {
        case '"':
            *out++ = '"';
            break;
        case '\\':
            *out++ = '\\';
            break;
        case '/':
            *out++ = '/';
            break;
        case 'b':
            *out++ = '\b';
            break;
        case 'f':
            *out++ = '\f';
            break;
        case 'n':
            *out++ = '\n';
            break;
        case 'r':
            *out++ = '\r';
            break;
        case 't':
            *out++ = '\t';
            break;
        case 'u': {
            char16_t unit = 0;
            if (!hex4(p, end, unit))
                return false;
            if (QChar::isLowSurrogate(unit))
                return false;
            char32_t code = unit;
            if (QChar::isHighSurrogate(unit)) {
                char16_t low = 0;
                if (end - p < 2 || p[0] != '\\' || p[1] != 'u')
                    return false;
                p += 2;
                if (!hex4(p, end, low) || !QChar::isLowSurrogate(low))
                    return false;
                code = QChar::surrogateToUcs4(unit, low);
            }
            const qsizetype needed = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
            if (limit - out < needed)
                return false;
            out = appendUtf8(out, code);
            break;
        }
        default:
            return false;
        }
    }
    text.resize(out - text.constData());
    into = NoteText::fromValidUtf8(std::move(text));
    return true;
}

/// The notes whose bodies are still to be made, shared by the parser, which adds them as it
/// meets them, and two decoders: a helper thread from the start, and the parser's own
/// thread once it is done. Making the text (in fresh memory, which the system hands out page
/// by page) is most of the time a start takes; this way it is spread over two cores and
/// begins while the file is still being walked. Pages of the file behind the last body made
/// are given back as the work goes on.
class BodyQueue
{
public:
    BodyQueue(PageBuffer &buffer, size_t capacity)
        : m_buffer(buffer)
        , m_capacity(capacity)
        , m_done(new std::atomic<bool>[capacity])
    {
        // Never reallocated while shared. Every note record takes more than sixty bytes of
        // the file, so a file never holds more notes than this.
        m_notes.reserve(capacity);
        for (size_t i = 0; i < capacity; ++i)
            m_done[i].store(false, std::memory_order_relaxed);
    }

    /// The parser's thread: one more note. False when there is no room (which no index file
    /// can cause; the caller then leaves the file to the whole-document decoder).
    bool add(PendingNote note)
    {
        if (m_notes.size() == m_capacity) {
            m_failed.store(true);
            return false;
        }
        m_notes.push_back(std::move(note));
        m_state.store(m_notes.size() << 1, std::memory_order_release);
        // The helper is mostly busy; waking it per note would cost a system call each.
        if (m_notes.size() % 16 == 0)
            m_state.notify_one();
        return true;
    }

    /// The parser's thread: the file is walked; with `failed`, to no use.
    void close(bool failed)
    {
        if (failed)
            m_failed.store(true);
        m_state.store(m_notes.size() << 1 | 1, std::memory_order_release);
        m_state.notify_all();
    }

    /// Makes bodies until none are left, waiting for more while the parser runs. False once
    /// any body could not be made. The parser's thread passes `parsed` (the parser is done)
    /// and gives back pages as it goes; the helper passes nothing.
    bool work(std::optional<size_t> parsed = std::nullopt)
    {
        // The texts are made in fresh memory, readied a step at a time as this thread takes
        // work (which of the two makes how much depends on how the system schedules them).
        // Readied memory stays resident even when unused: the steps are small.
        std::vector<std::unique_ptr<HeapReserve>> reserves;
        size_t room = 0;
        for (;;) {
            const size_t i = m_next.fetch_add(1, std::memory_order_relaxed);
            for (;;) {
                const quint64 state = m_state.load(std::memory_order_acquire);
                if (i < (state >> 1))
                    break;
                if (state & 1)
                    return !m_failed.load();
                m_state.wait(state, std::memory_order_acquire);
            }
            if (m_failed.load(std::memory_order_relaxed))
                return false;
            PendingNote &pending = m_notes[i];
            // A byte array's header and the allocator's own take a little beyond the text. No
            // more is readied than the rest of the file can hold (a small store readies
            // nothing), and nothing for a text so large that it gets a mapping of its own.
            const size_t needed = pending.bodyBytes + 48;
            if (needed < HeapReserve::mappedFrom) {
                if (needed > room) {
                    const size_t step = std::max(
                        needed, std::min(kReserveStep, m_buffer.size() - pending.bodyOffset));
                    reserves.push_back(std::make_unique<HeapReserve>(step));
                    room = std::max(reserves.back()->reserved(), step);
                }
                room -= std::min(room, needed);
            }
            if (!decodeJsonString(m_buffer.data() + pending.bodyOffset, pending.bodyLength,
                                  pending.bodyBytes, pending.note.body)) {
                m_failed.store(true);
                return false;
            }
            m_done[i].store(true, std::memory_order_release);
            if (parsed && i % 64 == 0)
                releaseDone(*parsed);
        }
    }

    /// The parser's thread: gives back the pages before the first body not yet made, and
    /// before `parsed` when every body so far is made.
    void releaseDone(size_t parsed)
    {
        const size_t published = m_state.load(std::memory_order_relaxed) >> 1;
        while (m_watermark < published && m_done[m_watermark].load(std::memory_order_acquire))
            ++m_watermark;
        const size_t limit = m_watermark < published ? m_notes[m_watermark].bodyOffset : parsed;
        if (limit >= m_released + (4u << 20)) {
            m_buffer.release(m_released, limit);
            m_released = limit;
        }
    }

    /// Once both decoders are done: the notes in file order, every body made.
    std::optional<std::vector<PendingNote>> take()
    {
        if (m_failed.load())
            return std::nullopt;
        return std::move(m_notes);
    }

private:
    PageBuffer &m_buffer;
    const size_t m_capacity;
    std::vector<PendingNote> m_notes;
    std::unique_ptr<std::atomic<bool>[]> m_done;
    /// Notes published (times two), plus one once the parser is done: one value to wait on.
    std::atomic<quint64> m_state { 0 };
    std::atomic<size_t> m_next { 0 };
    std::atomic<bool> m_failed { false };
    size_t m_watermark = 0;
    size_t m_released = 0;
};

/// The parser's receiver. It returns false (which stops the parser) for anything the fast
/// path leaves to the whole-document decoder: a string that is not valid UTF-8, a top-level
/// member that comes twice, a root that is not an object.
class Handler
{
public:
    Handler(const PageBuffer &buffer, const rapidjson::StringStream &stream, BodyQueue &bodies)
        : m_buffer(buffer)
        , m_stream(stream)
        , m_bodies(bodies)
    {
    }

    /// The index, from the notes (in file order, every body made) and what was read here.
    std::optional<IndexFile> finish(std::vector<PendingNote> notes)
    {
        if (!m_done || m_version.type != Value::Type::Number || m_cursor.type != Value::Type::Number
            || !m_sawNotes || !m_sawMeta)
            return std::nullopt;
        const double cursor = m_cursor.number;
        if (!std::isfinite(cursor) || cursor != std::floor(cursor))
            return std::nullopt;
        m_builder.setCursor(qint64(cursor));
        // Records that could not be read count where they were met; only readable ones repeat.
        for (int i = 0; i < m_unreadableNotes; ++i)
            m_builder.addNote(std::nullopt);
        for (PendingNote &pending : notes)
            m_builder.addNote(std::move(pending.note));
        notes.clear();
        // The bookkeeping comes before the notes in the file; it is matched once all are in.
        for (std::optional<Meta> &entry : m_meta)
            m_builder.addMeta(std::move(entry));
        m_meta.clear();
        return m_builder.finish(m_held);
    }

    // ---- the parser's events ----

    bool Null() { return scalar(Value::Type::Null); }
    bool Bool(bool b)
    {
        return scalar(Value::Type::Bool, [b](Value &value) { value.boolean = b; });
    }
    bool Int(int i) { return number(double(i)); }
    bool Uint(unsigned u) { return number(double(u)); }
    bool Int64(int64_t i) { return number(double(i)); }
    bool Uint64(uint64_t u) { return number(double(u)); }
    bool Double(double d) { return number(d); }
    bool RawNumber(const char *, rapidjson::SizeType, bool) { return false; }

    bool String(const char *text, rapidjson::SizeType length, bool)
    {
        const QByteArrayView bytes(text, length);
        if (!m_skip && !m_frames.empty() && frame() == Frame::HeldIds) {
            if (!decode(bytes, m_heldId))
                return false;
            m_held.append(m_heldId);
            return true;
        }
        const bool body = !m_skip && !m_frames.empty() && frame() == Frame::Note
            && m_pendingName == kNoteNames[1];
        if (!scalar(Value::Type::String))
            return false;
        if (body) {
            // Only located here: its text is made later, on two threads. (The parser reads a
            // string through a copy of the stream, so the stream still points at its opening
            // quote.) The string was valid: its end is the first quote not escaped.
            const char *open = m_buffer.data() + m_stream.Tell();
            const char *close = open + 1;
            for (;;) {
                close = static_cast<const char *>(
                    std::memchr(close, '"', size_t(m_buffer.data() + m_buffer.size() - close)));
                if (!close || *open != '"')
                    return false;
                const char *backslash = close;
                while (backslash > open + 1 && backslash[-1] == '\\')
                    --backslash;
                if ((close - backslash) % 2 == 0)
                    break;
                ++close;
            }
            m_bodyOffset = size_t(open + 1 - m_buffer.data());
            m_bodyLength = size_t(close - open - 1);
            m_bodyBytes = length;
            return true;
        }
        if (!m_target)
            return bytes.isValidUtf8(); // not kept, but the file must be valid throughout
        return decode(bytes, m_target->string);
    }

    bool Key(const char *key, rapidjson::SizeType length, bool)
    {
        if (m_skip)
            return QByteArrayView(key, length).isValidUtf8();
        m_pendingName = nullptr;
        switch (frame()) {
        case Frame::Root:
            return rootKey(key, length);
        case Frame::Note:
            m_pendingName = knownName(kNoteNames, key, length);
            break;
        case Frame::Attachment:
            m_pendingName = knownName(kAttachmentNames, key, length);
            break;
        case Frame::Meta:
            m_pendingName = knownName(kMetaNames, key, length);
            break;
        default:
            break;
        }
        return m_pendingName || QByteArrayView(key, length).isValidUtf8();
    }

    bool StartObject()
    {
        if (m_skip) {
            ++m_skip;
            return true;
        }
        if (m_frames.empty()) {
            m_frames.push_back(Frame::Root);
            return true;
        }
        switch (frame()) {
        case Frame::Notes:
            m_record.reset(Value::Type::Object);
            m_bodyOffset = m_bodyLength = m_bodyBytes = 0;
            m_frames.push_back(Frame::Note);
            return true;
        case Frame::Metas:
            m_record.reset(Value::Type::Object);
            m_frames.push_back(Frame::Meta);
            return true;
        case Frame::Attachments:
            m_attachments->elements.emplace_back().reset(Value::Type::Object);
            m_frames.push_back(Frame::Attachment);
            return true;
        default:
            return beginOther();
        }
    }

    bool EndObject(rapidjson::SizeType)
    {
        if (m_skip) {
            --m_skip;
            return true;
        }
        const Frame ended = frame();
        m_frames.pop_back();
        m_pendingName = nullptr;
        switch (ended) {
        case Frame::Root:
            m_done = true;
            break;
        case Frame::Note:
            if (auto note = readNote(ValueView(&m_record))) {
                if (!m_bodies.add(
                        PendingNote { std::move(*note), m_bodyOffset, m_bodyLength, m_bodyBytes }))
                    return false;
                m_bodies.releaseDone(m_stream.Tell());
            } else {
                ++m_unreadableNotes;
            }
            break;
        case Frame::Meta:
            m_meta.push_back(readMeta(ValueView(&m_record)));
            break;
        default:
            break;
        }
        return true;
    }

    bool StartArray()
    {
        if (m_skip) {
            ++m_skip;
            return true;
        }
        if (m_frames.empty())
            return false; // an array at the root is no index
        if (frame() == Frame::Root) {
            switch (m_top) {
            case Top::Notes:
                m_frames.push_back(Frame::Notes);
                return true;
            case Top::Meta:
                m_frames.push_back(Frame::Metas);
                return true;
            case Top::Held:
                m_frames.push_back(Frame::HeldIds);
                return true;
            default:
                return beginOther();
            }
        }
        if (frame() == Frame::Note && m_pendingName == kNoteNames[5]) {
            m_attachments = &m_record.member(m_pendingName);
            m_attachments->reset(Value::Type::Array);
            m_pendingName = nullptr;
            m_frames.push_back(Frame::Attachments);
            return true;
        }
        return beginOther();
    }

    bool EndArray(rapidjson::SizeType)
    {
        if (m_skip) {
            --m_skip;
            return true;
        }
        m_frames.pop_back();
        m_top = Top::Other;
        m_pendingName = nullptr;
        return true;
    }

private:
    enum class Frame : quint8 { Root, Notes, Note, Attachments, Attachment, Metas, Meta, HeldIds };
    enum class Top : quint8 { Other, Version, Cursor, Notes, Meta, Held };

    Frame frame() const { return m_frames.back(); }

    bool rootKey(const char *key, size_t length)
    {
        const auto is = [&](const char *name) {
            return std::strlen(name) == length && std::memcmp(name, key, length) == 0;
        };
        m_top = Top::Other;
        if (is("version")) {
            m_top = Top::Version;
        } else if (is("cursor")) {
            m_top = Top::Cursor;
        } else if (is("notes") || is("meta") || is("heldMissing")) {
            // A repeated list: its last occurrence counts, which only the whole-document
            // decoder can tell.
            bool &seen = is("notes") ? m_sawNotes : is("meta") ? m_sawMeta : m_sawHeld;
            if (seen)
                return false;
            seen = true;
            m_top = is("notes") ? Top::Notes : is("meta") ? Top::Meta : Top::Held;
        }
        return QByteArrayView(key, length).isValidUtf8();
    }

    // Where a scalar goes: the member being read, a top-level value, an attachment list's
    // element; nowhere (`m_target` null) for what the index does not need.
    bool scalar(Value::Type type)
    {
        m_target = nullptr;
        if (m_skip || m_frames.empty())
            return !m_frames.empty() || m_skip; // a bare scalar at the root is no index
        switch (frame()) {
        case Frame::Root:
            if (m_top == Top::Version)
                m_target = &m_version;
            else if (m_top == Top::Cursor)
                m_target = &m_cursor;
            else if (m_top == Top::Notes || m_top == Top::Meta)
                return false; // the list is not a list: for the whole-document decoder
            m_top = Top::Other;
            break;
        case Frame::Note:
        case Frame::Meta:
            if (m_pendingName)
                m_target = &m_record.member(m_pendingName);
            break;
        case Frame::Attachment:
            if (m_pendingName)
                m_target = &m_attachments->elements.back().member(m_pendingName);
            break;
        case Frame::Notes:
            ++m_unreadableNotes; // a record that is no object
            break;
        case Frame::Metas:
            m_meta.push_back(std::nullopt);
            break;
        case Frame::Attachments:
            m_attachments->elements.emplace_back().reset(Value::Type::Other);
            break;
        case Frame::HeldIds:
            break;
        }
        m_pendingName = nullptr;
        if (m_target)
            m_target->reset(type);
        return true;
    }

    bool number(double number)
    {
        return scalar(Value::Type::Number, [number](Value &value) { value.number = number; });
    }

    // A scalar, and what it holds when it is kept.
    template<typename Set> bool scalar(Value::Type type, Set set)
    {
        if (!scalar(type))
            return false;
        if (m_target)
            set(*m_target);
        return true;
    }

    // An object or array the index does not read as such: a wrong type where a value was
    // expected (kept as "other"), or something unknown. Its contents are only checked.
    bool beginOther()
    {
        if (frame() == Frame::Root && (m_top == Top::Notes || m_top == Top::Meta))
            return false; // the list is not a list: for the whole-document decoder
        if (!scalar(Value::Type::Other))
            return false;
        m_skip = 1;
        return true;
    }

    bool decode(QByteArrayView bytes, QString &into)
    {
        m_decoder.resetState();
        into = m_decoder.decode(bytes);
        return !m_decoder.hasError();
    }

    const PageBuffer &m_buffer;
    const rapidjson::StringStream &m_stream;
    QStringDecoder m_decoder { QStringDecoder::Utf8, QStringDecoder::Flag::Stateless };
    std::vector<Frame> m_frames;
    int m_skip = 0; ///< depth inside a value that is only checked
    Top m_top = Top::Other;
    const char *m_pendingName = nullptr; ///< the member whose value comes next
    Value *m_target = nullptr;
    Value m_record; ///< the note or bookkeeping record being read
    Value *m_attachments = nullptr; ///< the note's attachment list being read
    Value m_version;
    Value m_cursor;
    bool m_sawNotes = false;
    bool m_sawMeta = false;
    bool m_sawHeld = false;
    bool m_done = false;
    size_t m_bodyOffset = 0;
    size_t m_bodyLength = 0;
    size_t m_bodyBytes = 0;
    BodyQueue &m_bodies;
    int m_unreadableNotes = 0;
    QString m_heldId;
    QStringList m_held;
    std::vector<std::optional<Meta>> m_meta;
    IndexBuilder m_builder;
};

} // namespace

std::optional<IndexFile> IndexReader::readFast(const QString &path)
{
    PageBuffer buffer;
    if (!buffer.open(path))
        return std::nullopt;
    std::optional<MappingGuard> guard;
    if (buffer.mapped())
        guard.emplace(buffer.data(), buffer.size());
    // The records are about to be made in fresh memory on this thread: it is readied in one
    // go. They take about a sixth of the file's bytes; the texts are readied as they are made.
    const HeapReserve reserve(buffer.size() / 6);
    BodyQueue bodies(buffer, buffer.size() / 60 + 16);
    rapidjson::StringStream stream(buffer.data());
    Handler handler(buffer, stream, bodies);
    // A helper makes bodies from the start; small files are not worth a thread.
    bool helped = true;
    std::thread helper;
    if (buffer.size() >= (1u << 20))
        helper = std::thread([&] {
            if (helperTestHook())
                helperTestHook()();
            helped = bodies.work();
        });
    rapidjson::Reader reader;
    // Iterative: nesting as deep as a hostile file likes costs no stack. The encoding is
    // checked string by string, where each is turned into text anyway.
    constexpr unsigned flags = rapidjson::kParseFullPrecisionFlag | rapidjson::kParseIterativeFlag;
    // A NUL inside the file ends the parser's text early: the rest was never seen.
    const bool parsed
        = !reader.Parse<flags>(stream, handler).IsError() && stream.Tell() == buffer.size();
    if (testHook())
        testHook()();
    bodies.close(!parsed);
    const bool made = bodies.work(stream.Tell());
    if (helper.joinable())
        helper.join();
    if (!parsed || !made || !helped || MappingGuard::hit())
        return std::nullopt;
    auto notes = bodies.take();
    if (!notes)
        return std::nullopt;
    guard.reset();
    return handler.finish(std::move(*notes));
}

std::function<void()> &IndexReader::testHook()
{
    static std::function<void()> hook;
    return hook;
}

std::function<void()> &IndexReader::helperTestHook()
{
    static std::function<void()> hook;
    return hook;
}

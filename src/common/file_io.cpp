#include "common/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <utility>

#include "common/message_text.h"
#include "common/native_file.h"
#include "common/utf8_path.h"

namespace krelt {
namespace {

// Pieces smaller than this are gathered before they go to the system.
constexpr std::size_t kWriteBufferSize = std::size_t{64} << 10;
// Names tried before giving up when every one is taken.
constexpr int kTemporaryNameAttempts = 16;

std::string Quoted(const std::filesystem::path& path) {
  std::string quoted(1, '\'');
  quoted += EscapeUnprintable(PathToUtf8(path));
  quoted += '\'';
  return quoted;
}

Status IoError(const std::string& message) {
  return Status::Error(ErrorKind::kIo, message);
}

// ": reason" for the error the C library's last call left, or nothing.
std::string ErrnoReason(int error) {
  return error == 0 ? std::string()
                    : ": " + native::ErrorText(std::error_code(error, std::generic_category()));
}

// target's name with 16 random hexadecimal digits, in target's folder.
std::filesystem::path RandomTemporaryPath(const std::filesystem::path& target) {
  static thread_local std::mt19937_64 random = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string suffix = ".tmp";
  std::uint64_t value = random();
  for (int digit = 0; digit < 16; ++digit, value >>= 4) suffix += kHex[value & 0xF];
  std::filesystem::path candidate = target;
  candidate += suffix;
  return candidate;
}

Status TooLarge(const std::filesystem::path& path) {
  return Status::Error(ErrorKind::kTooLarge, "can't read " + Quoted(path) +
                       ": the file is larger than 1 GiB");
}

}  // namespace

namespace {

Status ReadWholeFile(const std::filesystem::path& path,
                     std::vector<std::uint8_t>& bytes) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return Status::Error(ErrorKind::kNotFound, "can't open " + Quoted(path) + ": no such file");
  }
  if (std::filesystem::is_directory(status)) {
    return IoError("can't read " + Quoted(path) + ": it is a folder");
  }
  std::uintmax_t announced = 0;
  if (std::filesystem::is_regular_file(status)) {
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxReadFileSize) return TooLarge(path);
    if (!error) announced = size;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return IoError("can't open " + Quoted(path) + ErrnoReason(errno));

  // Read the size the file announces and one byte more, which shows the end;
  // then on in pieces, as the file may have grown and non-regular files
  // announce no size. At most one byte beyond the limit is read.
  constexpr std::size_t kPiece = std::size_t{64} << 10;
  std::size_t wanted = static_cast<std::size_t>(announced) + 1;
  while (in) {
    const std::size_t start = bytes.size();
    bytes.resize(start + wanted);
    errno = 0;
    in.read(reinterpret_cast<char*>(bytes.data() + start),
            static_cast<std::streamsize>(wanted));
    bytes.resize(start + static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxReadFileSize) return TooLarge(path);
    wanted = std::min(kPiece, static_cast<std::size_t>(kMaxReadFileSize + 1 -
                                                       bytes.size()));
  }
  if (in.bad() || !in.eof()) {
    return IoError("read error in " + Quoted(path) + ErrnoReason(errno));
  }
  return {};
}

}  // namespace

std::string QuotedPath(const std::filesystem::path& path) { return Quoted(path); }

Status ReadFileBytes(const std::filesystem::path& path,
                     std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  const Status status = CatchAllocationFailure([&] { return ReadWholeFile(path, bytes); });
  if (!status.ok()) bytes = {};
  return status;
}

struct AtomicFileWriter::State {
  std::filesystem::path destination;  // target with its links followed
  native::TargetInfo replaced;        // what destination was when opened
  native::TemporaryFile file;
  native::SpecialFile special;  // the destination itself, when written in place
  std::vector<std::uint8_t> buffer;
  WriteFault fault;
  Status failure;  // the first write failure, repeated from then on
  bool open = false;
};

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target)
    : target_(std::move(target)), state_(std::make_unique<State>()) {}

AtomicFileWriter::~AtomicFileWriter() = default;

const std::filesystem::path& AtomicFileWriter::temporaryPath() const {
  return state_->file.path();
}

AtomicFileWriter::Outcome AtomicFileWriter::outcome() const {
  if (state_->replaced.special) return Outcome::kWritesInPlace;
  return state_->replaced.exists ? Outcome::kReplaces : Outcome::kCreates;
}

const std::filesystem::path& AtomicFileWriter::destination() const {
  return state_->destination;
}

void AtomicFileWriter::InjectWriteFault(WriteFault fault) {
  state_->fault = std::move(fault);
}

Status AtomicFileWriter::Fail(const std::string& what, const std::error_code& error) {
  return IoError(what + " " + Quoted(target_) + ": " + native::ErrorText(error));
}

Status AtomicFileWriter::Open() {
  return CatchAllocationFailure([&]() -> Status {
    State& state = *state_;
    if (state.open) return Status::Error(ErrorKind::kUsage, Quoted(target_) + " is already open");
    if (std::error_code error = native::FollowLinks(target_, state.destination)) {
      return Fail("can't write", error);
    }
    if (std::error_code error = native::Inspect(state.destination, state.replaced)) {
      return Fail("can't write", error);
    }
    if (state.replaced.folder) return IoError("can't write " + Quoted(target_) + ": it is a folder");
    if (state.replaced.readOnly) return IoError(Quoted(target_) + " is read-only");
    state.buffer.reserve(kWriteBufferSize);
    if (state.replaced.special) {
      if (std::error_code error = state.special.Open(state.destination)) {
        return Fail("can't write", error);
      }
      state.open = true;
      return Status();
    }
    std::error_code error;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      error = state.file.Create(RandomTemporaryPath(state.destination));
      if (!native::AlreadyExists(error)) break;
    }
    if (error) return Fail("can't create a file next to", error);
    state.open = true;
    return Status();
  });
}

Status AtomicFileWriter::FlushBuffer() {
  const Status status = WriteThrough(state_->buffer);
  state_->buffer.clear();
  return status;
}

Status AtomicFileWriter::WriteThrough(std::span<const std::uint8_t> bytes) {
  State& state = *state_;
  std::error_code error;
  if (state.fault) error = state.fault(bytes);
  if (!error) {
    error = state.replaced.special ? state.special.Write(bytes) : state.file.Write(bytes);
  }
  if (error) {
    state.failure = Fail("can't write", error);
    state.file.Discard();
  }
  return state.failure;
}

Status AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
  State& state = *state_;
  if (!state.failure.ok()) return state.failure;
  if (!state.open) return Status::Error(ErrorKind::kUsage, Quoted(target_) + " is not open");
  while (!bytes.empty()) {
    // Whole pieces go out without a copy into the buffer.
    if (state.buffer.empty() && bytes.size() >= kWriteBufferSize) {
      if (Status status = WriteThrough(bytes.first(kWriteBufferSize)); !status.ok()) return status;
      bytes = bytes.subspan(kWriteBufferSize);
      continue;
    }
    const std::size_t room = kWriteBufferSize - state.buffer.size();
    const std::size_t taken = std::min(room, bytes.size());
    state.buffer.insert(state.buffer.end(), bytes.begin(),
                        bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    bytes = bytes.subspan(taken);
    if (state.buffer.size() == kWriteBufferSize) {
      if (Status status = FlushBuffer(); !status.ok()) return status;
    }
  }
  return Status();
}

Status AtomicFileWriter::Write(std::string_view text) {
  return Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                         text.size()));
}

Status AtomicFileWriter::Commit() {
  State& state = *state_;
  if (!state.failure.ok()) return state.failure;
  if (!state.open) return Status::Error(ErrorKind::kUsage, Quoted(target_) + " is not open");
  if (Status status = FlushBuffer(); !status.ok()) return status;
  state.open = false;
  if (state.replaced.special) {
    if (std::error_code error = state.special.Close()) state.failure = Fail("can't write", error);
    return state.failure;
  }
  if (std::error_code error = state.file.CommitAs(state.destination, state.replaced)) {
    state.failure = Fail("can't replace", error);
    state.file.Discard();
  }
  return state.failure;
}

Status WriteFileAtomically(const std::filesystem::path& target,
                           std::span<const std::uint8_t> bytes) {
  AtomicFileWriter writer(target);
  if (Status status = writer.Open(); !status.ok()) return status;
  if (Status status = writer.Write(bytes); !status.ok()) return status;
  return writer.Commit();
}

Status WriteFileAtomically(const std::filesystem::path& target,
                           std::string_view text) {
  return WriteFileAtomically(
      target, std::span(reinterpret_cast<const std::uint8_t*>(text.data()),
                        text.size()));
}

namespace {

// One file of a group write: its writer and, once its destination is
// replaced, a link to (or copy of) the file that was there.
struct GroupMember {
  std::unique_ptr<AtomicFileWriter> writer;
  std::filesystem::path kept;
  bool committed = false;
};

Status KeepOldFile(GroupMember& member) {
  const std::filesystem::path& old = member.writer->destination();
  const std::filesystem::path kept = RandomTemporaryPath(old);
  std::error_code error;
  std::filesystem::create_hard_link(old, kept, error);
  if (error) {
    error.clear();
    std::filesystem::copy_file(old, kept, error);
  }
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(kept, ignored);
    return IoError("can't keep a copy of " + Quoted(old) + ": " + native::ErrorText(error));
  }
  member.kept = kept;
  return Status();
}

// After the group failed: puts back the old file or removes the new one.
void Undo(const GroupMember& member) {
  std::error_code ignored;
  const std::filesystem::path& destination = member.writer->destination();
  if (member.committed && !member.kept.empty()) {
    std::filesystem::rename(member.kept, destination, ignored);
  } else if (member.committed &&
             member.writer->outcome() == AtomicFileWriter::Outcome::kCreates) {
    std::filesystem::remove(destination, ignored);
  } else if (!member.kept.empty()) {
    std::filesystem::remove(member.kept, ignored);
  }
}

}  // namespace

bool IsWrittenInPlace(const std::filesystem::path& target) {
  std::filesystem::path destination;
  native::TargetInfo info;
  return !native::FollowLinks(target, destination) && !native::Inspect(destination, info) &&
         info.special;
}

Status WriteFilesAtomically(std::span<const FileToWrite> files) {
  return CatchAllocationFailure([&]() -> Status {
    std::vector<GroupMember> members(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      members[i].writer = std::make_unique<AtomicFileWriter>(files[i].target);
      AtomicFileWriter& writer = *members[i].writer;
      if (Status status = writer.Open(); !status.ok()) return status;
      if (Status status = writer.Write(files[i].bytes); !status.ok()) return status;
    }
    Status status;
    for (GroupMember& member : members) {
      if (member.writer->outcome() == AtomicFileWriter::Outcome::kReplaces) {
        status = KeepOldFile(member);
        if (!status.ok()) break;
      }
    }
    for (GroupMember& member : members) {
      if (!status.ok()) break;
      status = member.writer->Commit();
      member.committed = status.ok();
    }
    for (const GroupMember& member : members) {
      std::error_code ignored;
      if (!status.ok()) {
        Undo(member);
      } else if (!member.kept.empty()) {
        std::filesystem::remove(member.kept, ignored);
      }
    }
    return status;
  });
}

Status ReadStandardInput(std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kPiece = std::size_t{64} << 10;
  bytes.clear();
  const Status status = CatchAllocationFailure([&]() -> Status {
    errno = 0;
    std::size_t got = kPiece;
    while (got == kPiece) {
      const std::size_t start = bytes.size();
      bytes.resize(start + kPiece);
      got = std::fread(bytes.data() + start, 1, kPiece, stdin);
      bytes.resize(start + got);
      if (bytes.size() > kMaxReadFileSize) {
        return Status::Error(ErrorKind::kTooLarge,
                             "can't read standard input: it holds more than 1 GiB");
      }
    }
    if (std::ferror(stdin)) return IoError("read error in standard input" + ErrnoReason(errno));
    return Status();
  });
  if (!status.ok()) bytes = {};
  return status;
}

Status WriteStandardOutput(std::span<const std::uint8_t> bytes) {
  errno = 0;
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  if (!written || std::fflush(stdout) != 0) {
    return IoError("can't write standard output" + ErrnoReason(errno));
  }
  return Status();
}

}  // namespace krelt

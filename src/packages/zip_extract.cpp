// Extraction of ZipMaster: every entry is streamed in chunks into a
// temporary file beside its target and renamed into place only when it is
// complete and sound. Folders are walked with descriptors that refuse
// symbolic links, so nothing lands outside the extract directory.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>

#include "packages/zip_master.h"
#include "platform/files.h"

namespace wingstow {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;
constexpr int password_tries = 3;

struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryStream = std::unique_ptr<zip_file_t, EntryCloser>;

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }

  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

struct OpenedArchive {
  Archive archive;
  std::uint64_t file_size = 0;
  int error = ZIP_ER_OK;  // ZIP_ER_NOENT when the file is missing
};

// CHECKCONS: without it libzip accepts duplicate names and local headers that
// disagree with the central directory.
OpenedArchive open_archive(const std::string& path) {
  OpenedArchive result;
  Fd fd(::open(platform::resolve(path).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    result.error = (!fd && errno == ENOENT) ? ZIP_ER_NOENT : ZIP_ER_OPEN;
    return result;
  }
  result.file_size = static_cast<std::uint64_t>(st.st_size);
  int error = ZIP_ER_OK;
  result.archive.reset(zip_fdopen(fd.get(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
  if (result.archive)
    fd.release();  // libzip owns it now
  else
    result.error = error;
  return result;
}

// ASCII folding, as the platform layer matches names.
char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

bool is_separator(char c) { return c == '/' || c == '\\'; }
bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

std::string printable(std::string_view name) {
  std::string text(name);
  std::replace_if(text.begin(), text.end(), is_control, '?');
  return text;
}

// Where an entry goes under the extract directory.
struct Target {
  std::vector<std::string> parts;  // folders, then the file unless folder
  bool folder = false;
  std::string refusal;  // why the name is refused; empty when it is safe
};

// Both separators count: archives made on Windows store "dir\file".
Target parse_name(std::string_view name) {
  Target target;
  if (std::any_of(name.begin(), name.end(), is_control)) {
    target.refusal = "its name holds control characters";
    return target;
  }
  if (!name.empty() && is_separator(name.front())) {
    target.refusal = "its name is an absolute path";
    return target;
  }
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (name.size() >= 2 && letter(name[0]) && name[1] == ':') {
    target.refusal = "its name carries a drive letter";
    return target;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !is_separator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") {
      target.refusal = "its name leads out of the extract directory";
      return target;
    }
    if (!part.empty() && part != ".") target.parts.emplace_back(part);
    start = end + 1;
  }
  if (target.parts.empty()) target.refusal = "its name is empty";
  target.folder = !name.empty() && is_separator(name.back());
  return target;
}

bool is_symlink_entry(zip_t* archive, zip_uint64_t index) {
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) != 0) return false;
  return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

// The name under which part exists in dir: exactly as written, else the
// first match without regard to case (Windows would merge "Panel" and
// "panel"), else as written.
std::string name_on_disk(int dir, const std::string& part) {
  struct stat st;
  if (::fstatat(dir, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return part;
  // A descriptor of its own, so the listing starts at the beginning.
  const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return part;
  std::unique_ptr<DIR, DirCloser> entries(::fdopendir(listing));
  if (!entries) {
    ::close(listing);
    return part;
  }
  std::optional<std::string> best;
  while (const dirent* e = ::readdir(entries.get())) {
    const std::string_view name = e->d_name;
    if (equal_ignoring_case(name, part) && (!best || name < *best)) best = std::string(name);
  }
  return best.value_or(part);
}

std::string system_error(int error) { return std::strerror(error); }

std::string libzip_error(zip_error_t* error) { return zip_error_strerror(error); }

// Opens (creating when missing) each folder of parts below dir, never
// through a symbolic link. On failure returns no descriptor and sets why.
Fd open_folders(int dir, std::span<const std::string> parts, std::string& why) {
  Fd current(::fcntl(dir, F_DUPFD_CLOEXEC, 0));
  if (!current) {
    why = "its folder cannot be opened (" + system_error(errno) + ")";
    return {};
  }
  for (const auto& wanted : parts) {
    const std::string part = name_on_disk(current.get(), wanted);
    const auto open_part = [&] {
      return Fd(
          ::openat(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    };
    Fd next = open_part();
    if (!next && errno == ENOENT) {
      if (::mkdirat(current.get(), part.c_str(), 0777) != 0 && errno != EEXIST) {
        why = "its folder '" + part + "' cannot be created (" + system_error(errno) + ")";
        return {};
      }
      next = open_part();
    }
    if (!next) {
      const int error = errno;
      struct stat st;
      if (::fstatat(current.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        why = S_ISLNK(st.st_mode) ? "a symbolic link stands in its path ('" + part + "')"
                                  : "a file stands where its folder '" + part + "' belongs";
      else
        why = "its folder '" + part + "' cannot be opened (" + system_error(error) + ")";
      return {};
    }
    current = std::move(next);
  }
  return current;
}

// A file being written beside its target under a hidden name; removed on
// destruction unless it was committed under its final name.
class TempFile {
 public:
  TempFile(int dir, unsigned& serial) : dir_(dir) {
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      name_ = ".wingstow-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
      fd_ =
          ::openat(dir_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
      error_ = errno;
      name_.clear();
    }
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlinkat(dir_, name_.c_str(), 0);
  }

  int fd() const { return fd_; }
  int error() const { return error_; }

  // Closes the file, stamps it and gives it its final name; 0 or errno.
  // Without replace an existing target is kept (EEXIST).
  int commit(const std::string& target, bool replace, std::time_t mtime) {
    if (mtime != 0) {
      const timespec times[2] = {{0, UTIME_OMIT}, {mtime, 0}};
      ::futimens(fd_, times);  // a missing time stamp is no reason to lose the file
    }
    if (::close(std::exchange(fd_, -1)) != 0) return errno;
    const char* from = name_.c_str();
    const char* to = target.c_str();
    if (replace) {
      if (::renameat(dir_, from, dir_, to) != 0) return errno;
    } else if (::renameat2(dir_, from, dir_, to, RENAME_NOREPLACE) != 0) {
      if (errno != EINVAL) return errno;
      // A file system without RENAME_NOREPLACE: a hard link is exclusive too.
      if (::linkat(dir_, from, dir_, to, 0) != 0) return errno;
      return 0;  // the destructor removes the temporary name
    }
    name_.clear();
    return 0;
  }

 private:
  int dir_;
  int fd_ = -1;
  int error_ = 0;
  std::string name_;
};

}  // namespace

class ZipMaster::Extraction {
 public:
  explicit Extraction(ZipMaster& owner) : owner_(owner), buffer_(chunk_size) {}

  int run();

 private:
  struct Job {
    zip_uint64_t index = 0;
    std::string name;  // printable
    Target target;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    std::time_t mtime = 0;
    bool encrypted = false;
  };

  // Thrown by the callbacks when the cancel request is seen; unwinding
  // removes the partly written entry.
  struct Stopped {};

  struct Copied {
    std::string failure;  // why the data cannot be kept; empty when sound
    bool crc_error = false;
    std::uint32_t crc = 0;  // of the data read
  };

  int fail(int code, MessageKind kind, const std::string& text);
  void refuse(const std::string& name, const std::string& reason);
  void announce(int kind, const std::string& name, std::uint64_t size);
  void progress(int kind, const std::string& name, std::uint64_t size);
  void processed(const Job& job, std::uint64_t bytes);

  std::optional<std::vector<Job>> plan();
  void extract(const Job& job);
  std::optional<std::string> write_entry(const Job& job);
  EntryStream open_entry(const Job& job, std::string& why);
  Copied copy(const Job& job, EntryStream stream, int out);
  bool keep_despite_crc(const Job& job, std::uint32_t found);

  ZipMaster& owner_;
  std::vector<unsigned char> buffer_;
  OpenedArchive opened_;
  Fd base_;
  std::optional<std::string> password_;  // the last one that opened an entry
  std::uint64_t reported_ = 0;           // bytes of the current entry reported as processed
  unsigned temp_serial_ = 0;
  bool incomplete_ = false;
};

int ZipMaster::Extraction::fail(int code, MessageKind kind, const std::string& text) {
  if (!owner_.Unattended) owner_.ui_.message(kind, text, Buttons::ok);
  return code;
}

void ZipMaster::Extraction::refuse(const std::string& name, const std::string& reason) {
  incomplete_ = true;
  fail(0, MessageKind::warning, "'" + name + "' was not extracted: " + reason);
}

void ZipMaster::Extraction::announce(int kind, const std::string& name, std::uint64_t size) {
  if (owner_.OnProgress) owner_.OnProgress(kind, name, size);
  owner_.ui_.process_messages();
}

void ZipMaster::Extraction::progress(int kind, const std::string& name, std::uint64_t size) {
  announce(kind, name, size);
  if (owner_.cancel_requested_) throw Stopped{};
}

void ZipMaster::Extraction::processed(const Job& job, std::uint64_t bytes) {
  if (bytes == 0) return;
  reported_ += bytes;
  progress(1, job.name, bytes);
}

int ZipMaster::Extraction::run() {
  base_ =
      Fd(::open(platform::resolve(owner_.ExtrBaseDir).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!base_)
    return fail(extract_no_base_dir, MessageKind::error,
                "Extract directory '" + owner_.ExtrBaseDir + "' must exist");
  opened_ = open_archive(owner_.zip_file_name_);
  if (!opened_.archive)
    return opened_.error == ZIP_ER_NOENT
               ? fail(extract_no_archive, MessageKind::error, "Input file does not exist")
               : fail(extract_unreadable, MessageKind::error, "Zip file could not be opened");
  const auto jobs = plan();
  if (!jobs)
    return fail(extract_refused, MessageKind::error,
                "Zip file could not be opened: its entries claim more data than the file holds");

  std::uint64_t total = 0;
  for (const auto& job : *jobs) total += job.size;
  try {
    progress(4, {}, total);
    progress(3, {}, jobs->size());
    for (const auto& job : *jobs) extract(job);
  } catch (const Stopped&) {
    announce(2, {}, 0);
    return fail(extract_cancelled, MessageKind::warning, "User canceled operation");
  }
  announce(2, {}, 0);
  return incomplete_ ? extract_incomplete : 0;
}

// The entries to extract, the refused ones reported; nothing when the
// entries' compressed data overlap (more than the file holds).
std::optional<std::vector<ZipMaster::Extraction::Job>> ZipMaster::Extraction::plan() {
  zip_t* archive = opened_.archive.get();
  const zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(archive, 0), 0);
  std::vector<zip_stat_t> stats(static_cast<std::size_t>(count));
  std::uint64_t compressed = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    auto& st = stats[static_cast<std::size_t>(i)];
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS, &st) != 0)
      st.valid = 0;
    if (st.valid & ZIP_STAT_COMP_SIZE) compressed += st.comp_size;
  }
  if (compressed > opened_.file_size) return std::nullopt;

  std::vector<Job> jobs;
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto& st = stats[static_cast<std::size_t>(i)];
    const auto index = static_cast<zip_uint64_t>(i);
    const std::string raw = (st.valid & ZIP_STAT_NAME) && st.name ? st.name : "";
    Job job{index, printable(raw), parse_name(raw)};
    if (!job.target.refusal.empty()) {
      refuse(job.name, job.target.refusal);
      continue;
    }
    if (is_symlink_entry(archive, index)) {
      refuse(job.name, "symbolic links are not extracted");
      continue;
    }
    job.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    job.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
    job.mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;
    job.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    jobs.push_back(std::move(job));
  }
  return jobs;
}

// Whatever becomes of the entry, its declared size counts as processed, so
// that the bytes reported add up to the announced total.
void ZipMaster::Extraction::extract(const Job& job) {
  reported_ = 0;
  progress(0, job.name, job.size);
  if (auto why = write_entry(job)) refuse(job.name, *why);
  processed(job, job.size - std::min(reported_, job.size));
}

// Nothing when the entry was extracted, kept as it was, or declined by the
// CRC handler; otherwise why it was not extracted.
std::optional<std::string> ZipMaster::Extraction::write_entry(const Job& job) {
  const auto& parts = job.target.parts;
  if (job.target.folder && !owner_.ExtrDirNames) return std::nullopt;
  const std::size_t folders = !owner_.ExtrDirNames ? 0 : parts.size() - (job.target.folder ? 0 : 1);
  std::string why;
  const Fd dir = open_folders(base_.get(), std::span(parts).first(folders), why);
  if (!dir) return why;
  if (job.target.folder) return std::nullopt;

  const std::string file = name_on_disk(dir.get(), parts.back());
  struct stat st;
  if (::fstatat(dir.get(), file.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) return "a folder of that name exists";
    if (!owner_.ExtrOverWrite) return std::nullopt;
  }
  EntryStream stream = open_entry(job, why);
  if (!stream) return why;
  TempFile temp(dir.get(), temp_serial_);
  if (temp.fd() < 0) return "it cannot be written (" + system_error(temp.error()) + ")";
  const Copied copied = copy(job, std::move(stream), temp.fd());
  if (!copied.failure.empty()) return copied.failure;
  if (copied.crc_error && !keep_despite_crc(job, copied.crc)) return std::nullopt;
  const int error = temp.commit(file, owner_.ExtrOverWrite, job.mtime);
  if (error == EEXIST && !owner_.ExtrOverWrite) return std::nullopt;
  if (error != 0) return "it cannot be written (" + system_error(error) + ")";
  return std::nullopt;
}

EntryStream ZipMaster::Extraction::open_entry(const Job& job, std::string& why) {
  zip_t* archive = opened_.archive.get();
  zip_error_clear(archive);
  if (!job.encrypted) {
    EntryStream stream(zip_fopen_index(archive, job.index, 0));
    if (!stream) why = "it cannot be read (" + libzip_error(zip_get_error(archive)) + ")";
    return stream;
  }
  // The password that opened an earlier entry first, then the user's answers.
  std::optional<std::string> password = password_;
  int asked = 0;
  for (;;) {
    if (!password) {
      if (owner_.Unattended || asked == password_tries) break;
      ++asked;
      password = owner_.ui_.input_text("Password", "Enter Password ", true);
      if (!password) break;
    }
    zip_error_clear(archive);
    EntryStream stream(zip_fopen_index_encrypted(archive, job.index, 0, password->c_str()));
    if (stream) {
      password_ = std::move(password);
      return stream;
    }
    if (zip_error_code_zip(zip_get_error(archive)) != ZIP_ER_WRONGPASSWD) {
      why = "it cannot be read (" + libzip_error(zip_get_error(archive)) + ")";
      return {};
    }
    password.reset();
  }
  why = "no valid password was given";
  return {};
}

// Streams the entry into out, reading it to its end so that libzip checks
// its CRC.
ZipMaster::Extraction::Copied ZipMaster::Extraction::copy(const Job& job, EntryStream stream,
                                                          int out) {
  Copied result;
  uLong crc = crc32(0L, Z_NULL, 0);
  std::uint64_t written = 0;
  for (;;) {
    const zip_int64_t n = zip_fread(stream.get(), buffer_.data(), buffer_.size());
    if (n < 0) {
      zip_error_t* error = zip_file_get_error(stream.get());
      if (zip_error_code_zip(error) != ZIP_ER_CRC) {
        result.failure = "it is damaged (" + libzip_error(error) + ")";
        return result;
      }
      result.crc_error = true;
      break;
    }
    if (n == 0) break;
    const auto bytes = static_cast<std::uint64_t>(n);
    // libzip does not hold an entry to its declared size.
    if (bytes > job.size - written) {
      result.failure =
          "it holds more data than its declared size of " + std::to_string(job.size) + " bytes";
      return result;
    }
    if (!platform::write_all(out, buffer_.data(), static_cast<std::size_t>(n))) {
      result.failure = "it cannot be written (" + system_error(errno) + ")";
      return result;
    }
    crc = crc32(crc, buffer_.data(), static_cast<uInt>(n));
    written += bytes;
    processed(job, bytes);
  }
  // libzip may report the CRC only when the entry is closed.
  if (zip_fclose(stream.release()) == ZIP_ER_CRC) result.crc_error = true;
  result.crc = static_cast<std::uint32_t>(crc);
  if (!result.crc_error && written != job.size)
    result.failure = "it is damaged (" + std::to_string(written) + " of its " +
                     std::to_string(job.size) + " bytes found)";
  return result;
}

// Reported here only when no handler decides.
bool ZipMaster::Extraction::keep_despite_crc(const Job& job, std::uint32_t found) {
  char numbers[40];
  std::snprintf(numbers, sizeof numbers, "%08X, expected %08X", found, job.crc);
  if (!owner_.OnCRC32Error) {
    refuse(job.name, std::string("CRC error (found ") + numbers + ")");
    return false;
  }
  bool do_extract = true;
  owner_.OnCRC32Error(job.name, found, job.crc, do_extract);
  owner_.ui_.process_messages();
  if (owner_.cancel_requested_) throw Stopped{};
  if (!do_extract) incomplete_ = true;
  return do_extract;
}

void ZipMaster::setZipFileName(const std::string& path) {
  zip_file_name_ = path;
  entries_.clear();
  const auto opened = open_archive(path);
  if (!opened.archive) return;
  const zip_int64_t count = zip_get_num_entries(opened.archive.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name =
        zip_get_name(opened.archive.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
    entries_.emplace_back(name ? name : "");
  }
}

int ZipMaster::Extract() {
  if (busy_) return extract_busy;
  busy_ = true;
  cancel_requested_ = false;
  struct Idle {
    ZipMaster& owner;
    ~Idle() {
      owner.busy_ = false;
      owner.cancel_requested_ = false;
    }
  } idle{*this};
  Extraction extraction(*this);
  return extraction.run();
}

}  // namespace wingstow

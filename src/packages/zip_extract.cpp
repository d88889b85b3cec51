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
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <dirent.h>

#include "packages/zip_master.h"
#include "platform/atomic_file.h"
#include "platform/files.h"

namespace wingstow {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;
constexpr int password_tries = 3;
// Refused entries named in the box besides the first; the status line has
// every one.
constexpr std::size_t listed_refusals = 5;

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

// Folder descriptors are shared between the cache and the walk that uses
// them, so that an eviction never closes a folder still being written.
using SharedFd = std::shared_ptr<const Fd>;

struct OpenedArchive {
  Archive archive;
  std::uint64_t file_size = 0;
  int error = ZIP_ER_OK;  // ZIP_ER_NOENT when the file is missing
  bool special = false;   // a folder, pipe, socket or device: never read
};

// Only a regular file is read. A named pipe called "x.zip" would block an
// ordinary open until a writer came, so the type is asked first and the
// open does not wait; fstat then judges what was really opened. Links are
// followed: reading through one writes nothing.
// CHECKCONS: without it libzip accepts duplicate names and local headers that
// disagree with the central directory.
OpenedArchive open_archive(const std::string& path) {
  OpenedArchive result;
  const std::string real = platform::resolve(path);
  struct stat st;
  if (::stat(real.c_str(), &st) != 0) {
    result.error = errno == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN;
    return result;
  }
  Fd fd;
  if (S_ISREG(st.st_mode)) fd = Fd(::open(real.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (S_ISREG(st.st_mode) && !fd) {
    result.error = errno == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN;
    return result;
  }
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    result.error = ZIP_ER_OPEN;
    result.special = true;
    return result;
  }
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
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

std::string folded(std::string_view name) {
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(), fold);
  return key;
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

// The names of one folder as the extraction knows them: listed once, when
// the folder is first needed, then kept up to date with what the extraction
// creates in it, so that an entry's spelling on disk costs no listing.
class FolderNames {
 public:
  void read(int dir) {
    // A descriptor of its own, so the listing starts at the beginning.
    const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    std::unique_ptr<DIR, DirCloser> entries(::fdopendir(listing));
    if (!entries) {
      ::close(listing);
      return;
    }
    while (const dirent* e = ::readdir(entries.get())) {
      const std::string_view name = e->d_name;
      if (name != "." && name != "..") add(std::string(name));
    }
  }

  void add(const std::string& name) {
    auto& spellings = by_folded_[folded(name)];
    if (std::find(spellings.begin(), spellings.end(), name) == spellings.end())
      spellings.push_back(name);
  }

  // The name under which wanted exists: exactly as written, else the first
  // match without regard to case (Windows would merge "Panel" and "panel"),
  // else as written.
  const std::string& on_disk(const std::string& wanted) const {
    const auto it = by_folded_.find(folded(wanted));
    if (it == by_folded_.end()) return wanted;
    const auto& spellings = it->second;
    if (std::find(spellings.begin(), spellings.end(), wanted) != spellings.end()) return wanted;
    return *std::min_element(spellings.begin(), spellings.end());
  }

 private:
  std::unordered_map<std::string, std::vector<std::string>> by_folded_;
};

// Descriptors of the folders used last, by their path on disk relative to
// the extract directory. Archives keep the entries of a folder together, so
// most entries find their folder open; the least recently used goes first.
class FolderCache {
 public:
  SharedFd find(const std::string& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return {};
    order_.splice(order_.begin(), order_, it->second);
    return it->second->second;
  }

  void put(const std::string& key, SharedFd fd) {
    if (const auto it = index_.find(key); it != index_.end()) {
      order_.erase(it->second);
      index_.erase(it);
    }
    order_.emplace_front(key, std::move(fd));
    index_[key] = order_.begin();
    if (order_.size() > capacity) {
      index_.erase(order_.back().first);
      order_.pop_back();
    }
  }

 private:
  static constexpr std::size_t capacity = 32;
  using Order = std::list<std::pair<std::string, SharedFd>>;
  Order order_;
  std::unordered_map<std::string, Order::iterator> index_;
};

std::string system_error(int error) { return std::strerror(error); }

std::string libzip_error(zip_error_t* error) { return zip_error_strerror(error); }

// Why an entry was not extracted; error is the errno of a failed write.
struct Refusal {
  std::string why;
  int error = 0;
};

Refusal write_failure(int error) {
  return {"it cannot be written (" + system_error(error) + ")", error};
}

// After these no later entry can be written either: going on would repeat
// the same failure for every entry left.
bool stops_extraction(int error) { return error == ENOSPC || error == EDQUOT || error == EROFS; }

// The extract directory, never through a link in its own place: a package's
// "file_zip" made a link to another folder would have the entries written
// there. Folders above it are the user's and are taken as they are.
Fd open_base(const std::string& folder, bool& is_link) {
  std::string real = platform::resolve(folder);
  while (real.size() > 1 && real.back() == platform::sep) real.pop_back();
  Fd fd(::open(real.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  is_link = !fd && ::lstat(real.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  return fd;
}

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
  // Thrown when the disk refuses every further write.
  struct WriteStopped {
    std::string name;
    Refusal refusal;
  };

  struct Copied {
    std::string failure;  // why the data cannot be kept; empty when sound
    int error = 0;        // errno of a failed write
    bool crc_error = false;
    std::uint32_t crc = 0;  // of the data read
  };

  // An opened folder below the extract directory; key is its path on disk
  // relative to it ("" for the directory itself).
  struct Folder {
    SharedFd fd;
    std::string key;
  };

  int fail(int code, MessageKind kind, const std::string& text);
  void refuse(const std::string& name, const std::string& reason);
  void report_refusals();
  void announce(int kind, const std::string& name, std::uint64_t size);
  void progress(int kind, const std::string& name, std::uint64_t size);
  void processed(const Job& job, std::uint64_t bytes);

  std::optional<std::vector<Job>> plan();
  void extract(const Job& job);
  std::optional<Refusal> write_entry(const Job& job);
  FolderNames& names_of(const std::string& key, int fd);
  std::optional<Folder> open_folders(std::span<const std::string> parts, Refusal& refusal);
  EntryStream open_entry(const Job& job, std::string& why);
  Copied copy(const Job& job, EntryStream stream, int out);
  bool keep_despite_crc(const Job& job, std::uint32_t found);

  ZipMaster& owner_;
  std::vector<unsigned char> buffer_;
  OpenedArchive opened_;
  SharedFd base_;
  FolderCache folders_;
  std::unordered_map<std::string, FolderNames> names_;  // by folder key
  std::optional<std::string> password_;                 // the last one that opened an entry
  std::uint64_t reported_ = 0;  // bytes of the current entry reported as processed
  bool incomplete_ = false;
  std::size_t refused_ = 0;
  std::vector<std::pair<std::string, std::string>> refusals_;  // the first few
};

int ZipMaster::Extraction::fail(int code, MessageKind kind, const std::string& text) {
  if (!owner_.Unattended) owner_.ui_.message(kind, text, Buttons::ok);
  return code;
}

// Each refusal goes to the status line at once; the box, one per
// extraction, comes at the end.
void ZipMaster::Extraction::refuse(const std::string& name, const std::string& reason) {
  incomplete_ = true;
  if (owner_.Unattended) return;
  owner_.ui_.status("'" + name + "' was not extracted: " + reason);
  ++refused_;
  if (refusals_.size() <= listed_refusals) refusals_.emplace_back(name, reason);
}

void ZipMaster::Extraction::report_refusals() {
  if (refusals_.empty()) return;
  std::string text = "'" + refusals_[0].first + "' was not extracted: " + refusals_[0].second;
  if (const std::size_t more = refused_ - 1; more > 0) {
    text += "\n...and " + std::to_string(more) +
            (more == 1 ? " more entry was not extracted:" : " more entries were not extracted:");
    for (std::size_t i = 1; i < refusals_.size(); ++i)
      text += "\n'" + refusals_[i].first + "': " + refusals_[i].second;
    if (more > listed_refusals) text += "\n...";
  }
  fail(0, MessageKind::warning, text);
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
  bool is_link = false;
  Fd base = open_base(owner_.ExtrBaseDir, is_link);
  if (is_link)
    return fail(extract_no_base_dir, MessageKind::error,
                "Extract directory '" + owner_.ExtrBaseDir +
                    "' is a symbolic link; nothing is extracted through it");
  if (!base)
    return fail(extract_no_base_dir, MessageKind::error,
                "Extract directory '" + owner_.ExtrBaseDir + "' must exist");
  base_ = std::make_shared<const Fd>(std::move(base));
  opened_ = open_archive(owner_.zip_file_name_);
  if (!opened_.archive) {
    if (opened_.error == ZIP_ER_NOENT)
      return fail(extract_no_archive, MessageKind::error, "Input file does not exist");
    if (opened_.special)
      return fail(
          extract_unreadable, MessageKind::error,
          "Zip file could not be opened: '" + owner_.zip_file_name_ + "' is not a regular file");
    return fail(extract_unreadable, MessageKind::error, "Zip file could not be opened");
  }
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
  } catch (const WriteStopped& stop) {
    announce(2, {}, 0);
    return fail(extract_write_failed, MessageKind::error,
                "'" + stop.name + "' was not extracted: " + stop.refusal.why +
                    "\nThe extraction into '" + owner_.ExtrBaseDir +
                    "' stopped there; the entries after it were not extracted either.");
  }
  announce(2, {}, 0);
  report_refusals();
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
  jobs.reserve(stats.size());
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
  if (auto refusal = write_entry(job)) {
    if (stops_extraction(refusal->error)) throw WriteStopped{job.name, std::move(*refusal)};
    refuse(job.name, refusal->why);
  }
  processed(job, job.size - std::min(reported_, job.size));
}

// Nothing when the entry was extracted, kept as it was, or declined by the
// CRC handler; otherwise why it was not extracted.
std::optional<Refusal> ZipMaster::Extraction::write_entry(const Job& job) {
  const auto& parts = job.target.parts;
  if (job.target.folder && !owner_.ExtrDirNames) return std::nullopt;
  const std::size_t folders = !owner_.ExtrDirNames ? 0 : parts.size() - (job.target.folder ? 0 : 1);
  Refusal refusal;
  const auto dir = open_folders(std::span(parts).first(folders), refusal);
  if (!dir) return refusal;
  if (job.target.folder) return std::nullopt;

  FolderNames& names = names_of(dir->key, dir->fd->get());
  const std::string file = names.on_disk(parts.back());
  struct stat st;
  if (::fstatat(dir->fd->get(), file.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) return Refusal{"a folder of that name exists"};
    if (!owner_.ExtrOverWrite) return std::nullopt;
  }
  std::string why;
  EntryStream stream = open_entry(job, why);
  if (!stream) return Refusal{why};
  platform::TempFile temp(dir->fd->get());
  if (temp.fd() < 0) return write_failure(temp.error());
  const Copied copied = copy(job, std::move(stream), temp.fd());
  if (!copied.failure.empty()) return Refusal{copied.failure, copied.error};
  if (copied.crc_error && !keep_despite_crc(job, copied.crc)) return std::nullopt;
  const int error = temp.commit(file, owner_.ExtrOverWrite, job.mtime);
  if (error == EEXIST && !owner_.ExtrOverWrite) return std::nullopt;
  if (error != 0) return write_failure(error);
  names.add(file);
  return std::nullopt;
}

FolderNames& ZipMaster::Extraction::names_of(const std::string& key, int fd) {
  const auto [it, added] = names_.try_emplace(key);
  if (added) it->second.read(fd);
  return it->second;
}

// Opens (creating when missing) each folder of parts below the extract
// directory, never through a symbolic link. On failure sets why.
std::optional<ZipMaster::Extraction::Folder> ZipMaster::Extraction::open_folders(
    std::span<const std::string> parts, Refusal& refusal) {
  Folder current{base_, {}};
  for (const auto& wanted : parts) {
    FolderNames& names = names_of(current.key, current.fd->get());
    const std::string part = names.on_disk(wanted);
    std::string key = current.key.empty() ? part : current.key + platform::sep + part;
    if (SharedFd cached = folders_.find(key)) {
      current = {std::move(cached), std::move(key)};
      continue;
    }
    const int parent = current.fd->get();
    const auto open_part = [&] {
      return Fd(::openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    };
    Fd next = open_part();
    if (!next && errno == ENOENT) {
      if (::mkdirat(parent, part.c_str(), 0777) == 0) {
        names.add(part);
        names_.try_emplace(key);  // new and empty: nothing to list
      } else if (errno != EEXIST) {
        const int error = errno;
        refusal = {"its folder '" + part + "' cannot be created (" + system_error(error) + ")",
                   error};
        return std::nullopt;
      }
      next = open_part();
    }
    if (!next) {
      const int error = errno;
      struct stat st;
      if (::fstatat(parent, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        refusal.why = S_ISLNK(st.st_mode) ? "a symbolic link stands in its path ('" + part + "')"
                                          : "a file stands where its folder '" + part + "' belongs";
      else
        refusal.why = "its folder '" + part + "' cannot be opened (" + system_error(error) + ")";
      return std::nullopt;
    }
    current = {std::make_shared<const Fd>(std::move(next)), std::move(key)};
    folders_.put(current.key, current.fd);
  }
  return current;
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
      result.error = errno;
      result.failure = write_failure(result.error).why;
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

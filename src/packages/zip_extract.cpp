// Extraction of ZipMaster. Worker threads, each with its own handle on the
// archive, read entries and write them into temporary files beside their
// targets; the calling thread reports every entry in archive order, asks the
// user what must be asked, and gives each file its final name only when it is
// complete and sound. Deflated entries are inflated whole in memory, or in
// chunks when large; folders are walked with descriptors that refuse
// symbolic links, so nothing lands outside the extract directory.

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include <dirent.h>

#include "packages/entry_names.h"
#include "packages/zip_archive.h"
#include "packages/zip_master.h"
#include "platform/ascii_case.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/unique_fd.h"

namespace wingstow {

namespace {

constexpr std::size_t chunk_size = 64 * 1024;
// Data in memory is written in larger pieces: fewer system calls.
constexpr std::size_t write_size = 16 * chunk_size;
constexpr int password_tries = 3;
// The window is served at least this often while the workers write.
constexpr auto pump_interval = std::chrono::milliseconds(15);
// How far past the entry being reported a worker may go: each finished entry
// waits with its temporary file open until its turn comes.
constexpr std::size_t look_ahead = 128;
// Small entries are settled in batches: a worker wakes the calling thread
// for the entry it waits on only when that entry is large, or when entries
// further on are done too; otherwise the next pump finds them.
constexpr std::size_t wake_after = 16;
constexpr std::uint64_t wake_size = 1024 * 1024;
constexpr std::size_t none = static_cast<std::size_t>(-1);
constexpr unsigned max_workers = 2;

std::atomic<std::uint64_t> listings{0};
// Refused entries named in the box besides the first; the status line has
// every one.
constexpr std::size_t listed_refusals = 5;

// Folder descriptors are shared between the cache and the walk that uses
// them, so that an eviction never closes a folder still being written.
using Fd = platform::UniqueFd;
using SharedFd = std::shared_ptr<const Fd>;

struct InflaterFree {
  void operator()(libdeflate_decompressor* inflater) const {
    libdeflate_free_decompressor(inflater);
  }
};
using Inflater = std::unique_ptr<libdeflate_decompressor, InflaterFree>;

// The names of one folder as the extraction knows them: listed once, when
// the folder is first needed, then kept up to date with what the extraction
// creates in it, so that an entry's spelling on disk costs no listing.
class FolderNames {
 public:
  void read(int dir) {
    listings.fetch_add(1, std::memory_order_relaxed);
    // A descriptor of its own, so the listing starts at the beginning.
    const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    platform::UniqueDir entries(::fdopendir(listing));
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
    auto& spellings = by_folded_[ascii_lower(name)];
    if (std::find(spellings.begin(), spellings.end(), name) == spellings.end())
      spellings.push_back(name);
  }

  // The name under which wanted exists: exactly as written, else the first
  // match without regard to case (Windows would merge "Panel" and "panel"),
  // else as written.
  const std::string& on_disk(const std::string& wanted) const {
    const auto it = by_folded_.find(ascii_lower(wanted));
    if (it == by_folded_.end()) return wanted;
    const auto& spellings = it->second;
    if (std::find(spellings.begin(), spellings.end(), wanted) != spellings.end()) return wanted;
    return *std::min_element(spellings.begin(), spellings.end());
  }

  // Whether anything of that name, in any case, is in the folder.
  bool holds(const std::string& name) const { return by_folded_.contains(ascii_lower(name)); }

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

std::string libzip_error(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

std::uint32_t crc_of(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  return libdeflate_crc32(crc, data, size);
}

// Why an entry was not extracted; error is the errno of a failed write.
struct Refusal {
  std::string why;
  int error = 0;
};

Refusal write_failure(int error) {
  return {"it cannot be written (" + system_error(error) + ")", error};
}

Refusal damaged(const std::string& why) { return {"it is damaged (" + why + ")"}; }

Refusal too_long(std::uint64_t size) {
  return {"it holds more data than its declared size of " + std::to_string(size) + " bytes"};
}

Refusal too_short(std::uint64_t found, std::uint64_t size) {
  return damaged(std::to_string(found) + " of its " + std::to_string(size) + " bytes found");
}

// The end of an entry's data: all of it there, and its CRC known.
template <typename Job, typename Result>
void check_length_and_crc(const Job& job, std::uint64_t written, std::uint32_t crc,
                          Result& result) {
  if (written != job.size) {
    result.refusal = too_short(written, job.size);
    return;
  }
  result.crc = crc;
  result.crc_error = crc != job.crc;
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
  explicit Extraction(ZipMaster& owner)
      : owner_(owner),
        archive_(owner.zip_file_name_),
        dir_names_(owner.ExtrDirNames),
        overwrite_(owner.ExtrOverWrite),
        whole_limit_(owner.WholeEntryLimit) {}
  ~Extraction() { stop_workers(); }

  int run();

 private:
  struct Job {
    zip_uint64_t index = 0;
    std::string name;  // printable
    EntryName target;
    std::uint64_t size = 0;
    std::uint64_t packed_size = 0;  // of the compressed data
    std::int32_t method = -1;       // compression; -1 when unknown
    std::uint32_t crc = 0;
    std::time_t mtime = 0;
    bool encrypted = false;  // done on the calling thread, which asks for the password
  };

  // Thrown on the calling thread when the cancel request is seen; unwinding
  // removes the partly written entries.
  struct Stopped {};
  // Thrown when the disk refuses every further write.
  struct WriteStopped {
    std::string name;
    Refusal refusal;
  };
  // Thrown when a worker finds the archive changed or gone.
  struct Unreadable {};

  // An opened folder below the extract directory; key is its path on disk
  // relative to it ("" for the directory itself).
  struct Folder {
    SharedFd fd;
    std::string key;
  };

  // What reads and inflates entries: one per thread, libzip handles being
  // no more shareable than the buffers.
  struct Reader {
    ZipHandle own;  // empty for the calling thread's, which is opened_'s
    zip_t* archive = nullptr;
    Inflater inflater;
    std::vector<unsigned char> in = std::vector<unsigned char>(chunk_size);
    std::vector<unsigned char> out = std::vector<unsigned char>(chunk_size);
    // An entry inflated in memory, then its compressed data: sized once for
    // the largest, its pages used only as far as an entry needs them.
    std::unique_ptr<unsigned char[]> whole;
  };

  // Where the bytes written of an entry go as they are written.
  class Sink {
   public:
    virtual ~Sink() = default;
    // false once the extraction is to stop.
    virtual bool written(std::uint64_t bytes) = 0;
    virtual bool stopping() const = 0;
  };
  class WorkerSink;
  class CallerSink;

  // An entry read and written, not yet under its final name.
  struct Result {
    std::optional<Refusal> refusal;
    SharedFd dir;  // keeps temp's folder open
    std::unique_ptr<platform::TempFile> temp;
    std::string file;              // its name on disk
    FolderNames* names = nullptr;  // of its folder
    std::uint32_t crc = 0;         // of the data written
    bool crc_error = false;
    bool cancelled = false;
    std::exception_ptr error;
  };

  // An entry handed to a worker; guarded by state_mutex_.
  struct Slot {
    std::vector<std::uint64_t> written;  // bytes written, not yet reported
    bool done = false;
    Result result;
  };

  int fail(int code, MessageKind kind, const std::string& text);
  void refuse(const std::string& name, const std::string& reason);
  void report_refusals();
  void announce(int kind, const std::string& name, std::uint64_t size);
  void progress(int kind, const std::string& name, std::uint64_t size);
  void processed(const Job& job, std::uint64_t bytes);

  std::optional<std::vector<Job>> plan();
  void order_conflicts();
  void start_workers();
  void stop_workers();
  void work(Reader& reader);
  Result await(std::size_t index);
  void settle(const Job& job, Result result);
  std::optional<Refusal> commit(const Job& job, Result& result);

  Result execute(Reader& reader, const Job& job, Sink& sink);
  void write_data(Reader& reader, const Job& job, Sink& sink, Result& result);
  bool whole_in_memory(const Job& job) const;
  bool open_temp(Result& result);
  bool write_out(Result& result, const unsigned char* data, std::size_t size, Sink& sink);
  ZipEntryHandle open_raw(Reader& reader, const Job& job, Result& result);
  void inflate_whole(Reader& reader, const Job& job, Sink& sink, Result& result);
  void inflate_chunks(Reader& reader, const Job& job, Sink& sink, Result& result);
  void copy_stored(Reader& reader, const Job& job, Sink& sink, Result& result);
  void copy_stream(Reader& reader, const Job& job, Sink& sink, Result& result);
  ZipEntryHandle open_entry(zip_t* archive, const Job& job, std::string& why);
  bool keep_despite_crc(const Job& job, std::uint32_t found);

  FolderNames& names_of(const std::string& key, int fd);
  std::optional<Folder> open_folders(std::span<const std::string> parts, Refusal& refusal);

  ZipMaster& owner_;
  const std::string archive_;  // as named when the extraction began
  const bool dir_names_;
  const bool overwrite_;
  const std::uint64_t whole_limit_;
  OpenedArchive opened_;
  std::vector<Job> jobs_;

  // The folders met so far, shared by the workers.
  std::mutex folders_mutex_;
  SharedFd base_;
  FolderCache folders_;
  std::unordered_map<std::string, FolderNames> names_;  // by folder key

  // The work handed out. An entry that writes where an earlier one writes
  // waits until that one is settled, so that the later still wins.
  std::mutex state_mutex_;
  std::condition_variable settled_;  // wakes workers
  std::condition_variable posted_;   // wakes the calling thread
  std::vector<Slot> slots_;
  std::vector<std::size_t> after_;  // the earlier entry to wait for, or none
  std::size_t next_ = 0;            // the first entry no worker has taken
  std::size_t cursor_ = 0;          // the first entry not settled
  std::size_t window_waiters_ = 0;  // workers waiting for the calling thread to catch up
  std::size_t chain_waiters_ = 0;   // workers waiting for an earlier entry to be settled
  std::atomic<bool> stop_{false};
  bool broken_ = false;  // a worker could not open the archive
  std::vector<std::unique_ptr<Reader>> readers_;
  std::vector<std::thread> workers_;

  Reader caller_;                        // the calling thread's, for encrypted entries
  std::optional<std::string> password_;  // the last one that opened an entry
  std::uint64_t reported_ = 0;           // bytes of the current entry reported as processed
  bool incomplete_ = false;
  std::size_t refused_ = 0;
  std::vector<std::pair<std::string, std::string>> refusals_;  // the first few
};

// Posts what a worker wrote for the calling thread to report.
class ZipMaster::Extraction::WorkerSink : public Sink {
 public:
  WorkerSink(Extraction& extraction, std::size_t index) : x_(extraction), index_(index) {}
  bool written(std::uint64_t bytes) override {
    if (bytes == 0) return !stopping();
    const std::lock_guard lock(x_.state_mutex_);
    // Not worth a wake-up: the calling thread looks at least every pump_interval.
    x_.slots_[index_].written.push_back(bytes);
    return !stopping();
  }
  bool stopping() const override { return x_.stop_.load(std::memory_order_relaxed); }

 private:
  Extraction& x_;
  std::size_t index_;
};

// Reports at once, on the calling thread.
class ZipMaster::Extraction::CallerSink : public Sink {
 public:
  CallerSink(Extraction& extraction, const Job& job) : x_(extraction), job_(job) {}
  bool written(std::uint64_t bytes) override {
    if (bytes > 0) {
      x_.reported_ += bytes;
      x_.announce(1, job_.name, bytes);
    }
    return !stopping();
  }
  bool stopping() const override { return x_.owner_.cancel_requested_; }

 private:
  Extraction& x_;
  const Job& job_;
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
  opened_ = open_zip(archive_);
  if (!opened_.archive) {
    if (opened_.error == ZIP_ER_NOENT)
      return fail(extract_no_archive, MessageKind::error, "Input file does not exist");
    if (opened_.special)
      return fail(extract_unreadable, MessageKind::error,
                  "Zip file could not be opened: '" + archive_ + "' is not a regular file");
    return fail(extract_unreadable, MessageKind::error, "Zip file could not be opened");
  }
  auto jobs = plan();
  if (!jobs)
    return fail(extract_refused, MessageKind::error,
                "Zip file could not be opened: its entries claim more data than the file holds");
  jobs_ = std::move(*jobs);
  order_conflicts();
  start_workers();

  std::uint64_t total = 0;
  for (const auto& job : jobs_) total += job.size;
  try {
    progress(4, {}, total);
    progress(3, {}, jobs_.size());
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
      const Job& job = jobs_[i];
      reported_ = 0;
      progress(0, job.name, job.size);
      if (job.encrypted) {
        CallerSink sink(*this, job);
        settle(job, execute(caller_, job, sink));
      } else {
        settle(job, await(i));
      }
      bool wake = false;
      {
        const std::lock_guard lock(state_mutex_);
        cursor_ = i + 1;
        wake = chain_waiters_ > 0 || (window_waiters_ > 0 && next_ < cursor_ + look_ahead / 2);
      }
      if (wake) settled_.notify_all();
    }
  } catch (const Stopped&) {
    stop_workers();
    announce(2, {}, 0);
    return fail(extract_cancelled, MessageKind::warning, "User canceled operation");
  } catch (const Unreadable&) {
    stop_workers();
    announce(2, {}, 0);
    return fail(extract_unreadable, MessageKind::error, "Zip file could not be opened");
  } catch (const WriteStopped& stop) {
    stop_workers();
    announce(2, {}, 0);
    return fail(extract_write_failed, MessageKind::error,
                "'" + stop.name + "' was not extracted: " + stop.refusal.why +
                    "\nThe extraction into '" + owner_.ExtrBaseDir +
                    "' stopped there; the entries after it were not extracted either.");
  }
  stop_workers();
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
    Job job{index, printable_entry_name(raw), parse_entry_name(raw)};
    if (!job.target.refusal.empty()) {
      refuse(job.name, job.target.refusal);
      continue;
    }
    if (is_link_entry(archive, index)) {
      refuse(job.name, "symbolic links are not extracted");
      continue;
    }
    job.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    job.packed_size = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    job.method = (st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : -1;
    job.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
    job.mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;
    job.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    jobs.push_back(std::move(job));
  }
  return jobs;
}

// Entries that reach the same file (names equal without regard to case), or
// a file where another entry needs a folder, are chained in archive order:
// each waits until the one before it is settled, so that the outcome is the
// one entry after entry would give.
void ZipMaster::Extraction::order_conflicts() {
  const std::size_t count = jobs_.size();
  after_.assign(count, none);
  std::vector<std::size_t> group(count);
  std::iota(group.begin(), group.end(), std::size_t{0});
  const auto find = [&](std::size_t i) {
    while (group[i] != i) i = group[i] = group[group[i]];
    return i;
  };
  const auto unite = [&](std::size_t a, std::size_t b) { group[find(a)] = find(b); };

  std::unordered_map<std::string, std::size_t> files;  // folded path -> first entry
  for (std::size_t i = 0; i < count; ++i) {
    const EntryName& target = jobs_[i].target;
    if (target.folder) continue;
    std::string key;
    if (dir_names_) {
      for (const auto& part : target.parts) key += ascii_lower(part) + '/';
    } else {
      key = ascii_lower(target.parts.back()) + '/';
    }
    const auto [it, added] = files.try_emplace(std::move(key), i);
    if (!added) unite(it->second, i);
  }
  if (dir_names_) {
    for (std::size_t i = 0; i < count; ++i) {
      const EntryName& target = jobs_[i].target;
      const std::size_t folders = target.parts.size() - (target.folder ? 0 : 1);
      std::string key;
      for (std::size_t k = 0; k < folders; ++k) {
        key += ascii_lower(target.parts[k]) + '/';
        if (const auto it = files.find(key); it != files.end()) unite(it->second, i);
      }
    }
  }
  std::unordered_map<std::size_t, std::size_t> last;  // group -> its latest entry so far
  for (std::size_t i = 0; i < count; ++i) {
    const auto [it, added] = last.try_emplace(find(i), i);
    if (!added) after_[i] = std::exchange(it->second, i);
  }
}

// The first worker takes the handle the plan was made with, unless the
// calling thread needs it for encrypted entries; the others open their own
// in their thread.
void ZipMaster::Extraction::start_workers() {
  slots_.resize(jobs_.size());
  std::size_t largest = 0;
  for (const auto& job : jobs_)
    if (whole_in_memory(job))
      largest = std::max(largest, static_cast<std::size_t>(job.size + job.packed_size));
  const bool encrypted =
      std::any_of(jobs_.begin(), jobs_.end(), [](const Job& job) { return job.encrypted; });
  if (encrypted) caller_.archive = opened_.archive.get();
  const std::size_t count = std::min<std::size_t>(std::clamp(owner_.Workers, 1u, max_workers),
                                                  std::max<std::size_t>(jobs_.size(), 1));
  for (std::size_t i = 0; i < count; ++i) {
    auto reader = std::make_unique<Reader>();
    if (i == 0 && !encrypted) {
      reader->own = std::move(opened_.archive);
      reader->archive = reader->own.get();
    }
    reader->inflater.reset(libdeflate_alloc_decompressor());
    if (!reader->inflater) throw std::bad_alloc();
    if (largest > 0) reader->whole.reset(new unsigned char[largest]);
    readers_.push_back(std::move(reader));
  }
  for (auto& reader : readers_) workers_.emplace_back([this, &r = *reader] { work(r); });
}

// Stops the workers and removes what they wrote and nobody settled.
void ZipMaster::Extraction::stop_workers() {
  {
    const std::lock_guard lock(state_mutex_);
    stop_ = true;
  }
  settled_.notify_all();
  for (auto& worker : workers_) worker.join();
  workers_.clear();
  slots_.clear();
}

void ZipMaster::Extraction::work(Reader& reader) {
  if (!reader.archive) {
    OpenedArchive opened = open_zip(archive_, false);
    if (!opened.archive || !opened.same_file(opened_)) {
      const std::lock_guard lock(state_mutex_);
      broken_ = true;
      posted_.notify_one();
      return;
    }
    reader.own = std::move(opened.archive);
    reader.archive = reader.own.get();
  }
  for (;;) {
    std::size_t index = 0;
    {
      std::unique_lock lock(state_mutex_);
      for (;;) {
        while (next_ < jobs_.size() && jobs_[next_].encrypted) ++next_;
        if (stop_ || next_ >= jobs_.size()) return;
        if (next_ < cursor_ + look_ahead) break;
        ++window_waiters_;
        settled_.wait(lock, [&] { return stop_ || next_ < cursor_ + look_ahead / 2; });
        --window_waiters_;
      }
      index = next_++;
      ++chain_waiters_;
      settled_.wait(lock,
                    [&] { return stop_ || after_[index] == none || after_[index] < cursor_; });
      --chain_waiters_;
      if (stop_) return;
    }
    WorkerSink sink(*this, index);
    Result result;
    try {
      result = execute(reader, jobs_[index], sink);
    } catch (...) {
      result = {};
      result.error = std::current_exception();
    }
    const std::lock_guard lock(state_mutex_);
    slots_[index].result = std::move(result);
    slots_[index].done = true;
    if (index >= cursor_ + wake_after || index + 1 == jobs_.size() ||
        (index == cursor_ && jobs_[index].size >= wake_size))
      posted_.notify_one();
  }
}

// Reports what a worker writes of the entry as it comes, serving the window
// meanwhile, and then what became of it.
ZipMaster::Extraction::Result ZipMaster::Extraction::await(std::size_t index) {
  const Job& job = jobs_[index];
  Slot& slot = slots_[index];
  std::vector<std::uint64_t> written;
  for (;;) {
    bool done = false;
    {
      std::unique_lock lock(state_mutex_);
      posted_.wait_for(lock, pump_interval,
                       [&] { return slot.done || !slot.written.empty() || broken_; });
      if (broken_) throw Unreadable{};
      written.swap(slot.written);
      done = slot.done;
    }
    if (written.empty() && !done) {
      owner_.ui_.process_messages();
      if (owner_.cancel_requested_) throw Stopped{};
      continue;
    }
    for (const auto bytes : written) processed(job, bytes);
    written.clear();
    if (done) return std::move(slot.result);
  }
}

// Whatever becomes of the entry, its declared size counts as processed, so
// that the bytes reported add up to the announced total.
void ZipMaster::Extraction::settle(const Job& job, Result result) {
  if (result.error) std::rethrow_exception(result.error);
  if (result.cancelled) throw Stopped{};
  std::optional<Refusal> refusal = std::move(result.refusal);
  if (!refusal && result.temp) refusal = commit(job, result);
  if (refusal) {
    if (stops_extraction(refusal->error)) throw WriteStopped{job.name, std::move(*refusal)};
    refuse(job.name, refusal->why);
  }
  processed(job, job.size - std::min(reported_, job.size));
}

// Nothing when the file got its final name, was kept as it was, or was
// declined by the CRC handler; otherwise why it was not extracted.
std::optional<Refusal> ZipMaster::Extraction::commit(const Job& job, Result& result) {
  if (result.crc_error && !keep_despite_crc(job, result.crc)) return std::nullopt;
  const int error = result.temp->commit(result.file, overwrite_, job.mtime);
  if (error == EEXIST && !overwrite_) return std::nullopt;
  if (error != 0) return write_failure(error);
  const std::lock_guard lock(folders_mutex_);
  result.names->add(result.file);
  return std::nullopt;
}

// Reads the entry into a temporary file in its folder, on any thread but
// for encrypted entries, which ask the user.
ZipMaster::Extraction::Result ZipMaster::Extraction::execute(Reader& reader, const Job& job,
                                                             Sink& sink) {
  Result result;
  const auto& parts = job.target.parts;
  if (job.target.folder && !dir_names_) return result;
  const std::size_t folders = !dir_names_ ? 0 : parts.size() - (job.target.folder ? 0 : 1);
  bool known = false;
  {
    const std::lock_guard lock(folders_mutex_);
    Refusal refusal;
    const auto dir = open_folders(std::span(parts).first(folders), refusal);
    if (!dir) {
      result.refusal = std::move(refusal);
      return result;
    }
    if (job.target.folder) return result;
    result.dir = dir->fd;
    result.names = &names_of(dir->key, dir->fd->get());
    result.file = result.names->on_disk(parts.back());
    known = result.names->holds(result.file);
  }
  // A name the folder's listing does not hold is free: no need to look.
  struct stat st;
  if (known && ::fstatat(result.dir->get(), result.file.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) {
      result.refusal = Refusal{"a folder of that name exists"};
      return result;
    }
    if (!overwrite_) return result;
  }
  write_data(reader, job, sink, result);
  if (result.refusal || result.cancelled) result.temp.reset();
  return result;
}

void ZipMaster::Extraction::write_data(Reader& reader, const Job& job, Sink& sink, Result& result) {
  if (job.encrypted) return copy_stream(reader, job, sink, result);
  if (job.method == ZIP_CM_STORE) return copy_stored(reader, job, sink, result);
  if (job.method != ZIP_CM_DEFLATE) return copy_stream(reader, job, sink, result);
  if (whole_in_memory(job)) return inflate_whole(reader, job, sink, result);
  inflate_chunks(reader, job, sink, result);
}

bool ZipMaster::Extraction::whole_in_memory(const Job& job) const {
  return !job.encrypted && job.method == ZIP_CM_DEFLATE && job.size <= whole_limit_ &&
         job.packed_size <= whole_limit_ - job.size;
}

bool ZipMaster::Extraction::open_temp(Result& result) {
  result.temp = std::make_unique<platform::TempFile>(result.dir->get());
  if (result.temp->fd() >= 0) return true;
  result.refusal = write_failure(result.temp->error());
  return false;
}

// Writes in chunks, each reported; false when stopped or failed.
bool ZipMaster::Extraction::write_out(Result& result, const unsigned char* data, std::size_t size,
                                      Sink& sink) {
  for (std::size_t done = 0; done < size;) {
    const std::size_t n = std::min(write_size, size - done);
    if (!platform::write_all(result.temp->fd(), data + done, n)) {
      result.refusal = write_failure(errno);
      return false;
    }
    // Reported in chunks all the same, so that every path shows the same steps.
    for (std::size_t step = 0; step < n; step += chunk_size) {
      if (!sink.written(std::min(chunk_size, n - step))) {
        result.cancelled = true;
        return false;
      }
    }
    done += n;
  }
  return true;
}

// The entry's data as stored, not inflated: libzip checks no CRC on it.
ZipEntryHandle ZipMaster::Extraction::open_raw(Reader& reader, const Job& job, Result& result) {
  zip_error_clear(reader.archive);
  ZipEntryHandle stream(zip_fopen_index(reader.archive, job.index, ZIP_FL_COMPRESSED));
  if (!stream)
    result.refusal =
        Refusal{"it cannot be read (" + libzip_error(zip_get_error(reader.archive)) + ")"};
  return stream;
}

// The compressed data and the entry side by side in one buffer, reused from
// entry to entry; nothing is written unless the data inflate to exactly the
// declared size.
void ZipMaster::Extraction::inflate_whole(Reader& reader, const Job& job, Sink& sink,
                                          Result& result) {
  const auto size = static_cast<std::size_t>(job.size);
  const auto packed = static_cast<std::size_t>(job.packed_size);
  unsigned char* out = reader.whole.get();
  unsigned char* in = out + size;
  ZipEntryHandle stream = open_raw(reader, job, result);
  if (!stream) return;
  for (std::size_t got = 0; got < packed;) {
    const zip_int64_t n = zip_fread(stream.get(), in + got, packed - got);
    if (n < 0) {
      result.refusal = damaged(libzip_error(zip_file_get_error(stream.get())));
      return;
    }
    if (n == 0) {
      result.refusal = damaged(libzip_error(ZIP_ER_EOF));
      return;
    }
    got += static_cast<std::size_t>(n);
  }
  stream.reset();
  if (sink.stopping()) {
    result.cancelled = true;
    return;
  }
  std::size_t produced = 0;
  switch (libdeflate_deflate_decompress(reader.inflater.get(), in, packed, out, size, &produced)) {
    case LIBDEFLATE_SUCCESS:
      break;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
      result.refusal = too_long(job.size);
      return;
    default:
      result.refusal = damaged(libzip_error(ZIP_ER_COMPRESSED_DATA));
      return;
  }
  if (produced != size) {
    result.refusal = too_short(produced, job.size);
    return;
  }
  result.crc = crc_of(0, out, size);
  result.crc_error = result.crc != job.crc;
  if (sink.stopping()) {
    result.cancelled = true;
    return;
  }
  if (open_temp(result)) write_out(result, out, size, sink);
}

// A large deflated entry, inflated chunk by chunk with zlib.
void ZipMaster::Extraction::inflate_chunks(Reader& reader, const Job& job, Sink& sink,
                                           Result& result) {
  ZipEntryHandle stream = open_raw(reader, job, result);
  if (!stream || !open_temp(result)) return;
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
    result.refusal = Refusal{"it cannot be read (" + libzip_error(ZIP_ER_MEMORY) + ")"};
    return;
  }
  const struct End {
    z_stream& zs;
    ~End() { inflateEnd(&zs); }
  } end{zs};
  std::uint64_t written = 0;
  std::uint32_t crc = 0;
  bool input_ended = false;
  for (int status = Z_OK; status != Z_STREAM_END;) {
    if (zs.avail_in == 0 && !input_ended) {
      const zip_int64_t n = zip_fread(stream.get(), reader.in.data(), reader.in.size());
      if (n < 0) {
        result.refusal = damaged(libzip_error(zip_file_get_error(stream.get())));
        return;
      }
      input_ended = n == 0;
      zs.next_in = reader.in.data();
      zs.avail_in = static_cast<uInt>(n);
    }
    zs.next_out = reader.out.data();
    zs.avail_out = static_cast<uInt>(reader.out.size());
    status = inflate(&zs, Z_NO_FLUSH);
    if (status == Z_NEED_DICT || status == Z_DATA_ERROR || status == Z_MEM_ERROR) {
      result.refusal = damaged(libzip_error(ZIP_ER_COMPRESSED_DATA));
      return;
    }
    const std::size_t produced = reader.out.size() - zs.avail_out;
    if (produced == 0 && input_ended && status != Z_STREAM_END) break;  // cut short
    if (produced > job.size - written) {
      result.refusal = too_long(job.size);
      return;
    }
    crc = crc_of(crc, reader.out.data(), produced);
    if (!write_out(result, reader.out.data(), produced, sink)) return;
    written += produced;
  }
  check_length_and_crc(job, written, crc, result);
}

void ZipMaster::Extraction::copy_stored(Reader& reader, const Job& job, Sink& sink,
                                        Result& result) {
  if (job.packed_size > job.size) {
    result.refusal = too_long(job.size);
    return;
  }
  if (job.packed_size < job.size) {
    result.refusal = too_short(job.packed_size, job.size);
    return;
  }
  ZipEntryHandle stream = open_raw(reader, job, result);
  if (!stream || !open_temp(result)) return;
  std::uint64_t written = 0;
  std::uint32_t crc = 0;
  while (written < job.size) {
    const zip_int64_t n = zip_fread(stream.get(), reader.in.data(), reader.in.size());
    if (n < 0) {
      result.refusal = damaged(libzip_error(zip_file_get_error(stream.get())));
      return;
    }
    if (n == 0) break;
    const auto bytes = static_cast<std::size_t>(n);
    crc = crc_of(crc, reader.in.data(), bytes);
    if (!write_out(result, reader.in.data(), bytes, sink)) return;
    written += bytes;
  }
  check_length_and_crc(job, written, crc, result);
}

// Other methods and encrypted entries, through libzip, reading the entry to
// its end so that libzip checks its CRC.
void ZipMaster::Extraction::copy_stream(Reader& reader, const Job& job, Sink& sink,
                                        Result& result) {
  std::string why;
  ZipEntryHandle stream = open_entry(reader.archive, job, why);
  if (!stream) {
    result.refusal = Refusal{why};
    return;
  }
  if (!open_temp(result)) return;
  std::uint32_t crc = 0;
  std::uint64_t written = 0;
  for (;;) {
    const zip_int64_t n = zip_fread(stream.get(), reader.in.data(), reader.in.size());
    if (n < 0) {
      zip_error_t* error = zip_file_get_error(stream.get());
      if (zip_error_code_zip(error) != ZIP_ER_CRC) {
        result.refusal = damaged(libzip_error(error));
        return;
      }
      result.crc_error = true;
      break;
    }
    if (n == 0) break;
    const auto bytes = static_cast<std::size_t>(n);
    // libzip does not hold an entry to its declared size.
    if (bytes > job.size - written) {
      result.refusal = too_long(job.size);
      return;
    }
    crc = crc_of(crc, reader.in.data(), bytes);
    if (!write_out(result, reader.in.data(), bytes, sink)) return;
    written += bytes;
  }
  // libzip may report the CRC only when the entry is closed.
  if (zip_fclose(stream.release()) == ZIP_ER_CRC) result.crc_error = true;
  result.crc = crc;
  if (!result.crc_error && written != job.size) result.refusal = too_short(written, job.size);
}

ZipEntryHandle ZipMaster::Extraction::open_entry(zip_t* archive, const Job& job, std::string& why) {
  zip_error_clear(archive);
  if (!job.encrypted) {
    ZipEntryHandle stream(zip_fopen_index(archive, job.index, 0));
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
    ZipEntryHandle stream(zip_fopen_index_encrypted(archive, job.index, 0, password->c_str()));
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

// The caller holds folders_mutex_.
FolderNames& ZipMaster::Extraction::names_of(const std::string& key, int fd) {
  const auto [it, added] = names_.try_emplace(key);
  if (added) it->second.read(fd);
  return it->second;
}

// Opens (creating when missing) each folder of parts below the extract
// directory, never through a symbolic link. On failure sets why. The caller
// holds folders_mutex_.
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

void ZipMaster::setZipFileName(const std::string& path) {
  zip_file_name_ = path;
  entries_.clear();
  const auto opened = open_zip(path);
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

std::uint64_t ZipMaster::folder_listings() { return listings.load(); }

}  // namespace wingstow

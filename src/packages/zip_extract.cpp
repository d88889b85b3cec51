// Extraction of ZipMaster. Worker threads read entries (through the file
// itself when the directory reader vouches for the archive, else each with
// its own libzip handle) and write them into temporary files beside their
// targets; the calling thread reports every entry in archive order, asks the
// user what must be asked, and gives each file its final name only when it is
// complete and sound. Deflated entries are inflated whole in memory, or in
// chunks when large; folders are walked with descriptors that refuse
// symbolic links, so nothing lands outside the extract directory.

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "packages/libarchive_backend.h"
#include "packages/zip_extraction.h"
#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/known_crcs.h"
#include "platform/regular_file.h"

namespace wingstow {

using extraction::Refusal;
using extraction::stops_extraction;

namespace {

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
// Below this average size, one reader is as fast as two.
constexpr std::uint64_t tiny_entries = 1024;

}  // namespace

// Posts what a worker wrote for the calling thread to report.
class ZipMaster::Extraction::WorkerSink : public Sink {
 public:
  WorkerSink(Extraction& extraction, std::size_t index) : x_(extraction), index_(index) {}
  bool written(std::uint64_t bytes) override {
    if (bytes == 0) return !stopping();
    const std::lock_guard lock(x_.state_mutex_);
    // Not worth a wake-up: the calling thread looks at least every pump_interval.
    x_.slot(index_).written.push_back(bytes);
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
  explicit CallerSink(Extraction& extraction) : x_(extraction) {}
  bool written(std::uint64_t bytes) override {
    if (bytes > 0) {
      x_.reported_ += bytes;
      x_.announce(1, x_.current_name_, bytes);
    }
    return !stopping();
  }
  bool stopping() const override { return x_.owner_.cancel_requested_; }

 private:
  Extraction& x_;
};

int ZipMaster::Extraction::fail(int code, MessageKind kind, const std::string& text) {
  return report_.fail(code, kind, text);
}

void ZipMaster::Extraction::refuse(const std::string& name, const std::string& reason) {
  report_.refuse(name, reason);
}

void ZipMaster::Extraction::report_refusals() { report_.summary(); }

void ZipMaster::Extraction::announce(int kind, const std::string& name, std::uint64_t size) {
  if (owner_.OnProgress) owner_.OnProgress(kind, name, size);
  owner_.ui_.process_messages();
}

void ZipMaster::Extraction::progress(int kind, const std::string& name, std::uint64_t size) {
  announce(kind, name, size);
  if (owner_.cancel_requested_) throw Stopped{};
}

void ZipMaster::Extraction::processed(const Job&, std::uint64_t bytes) {
  if (bytes == 0) return;
  reported_ += bytes;
  progress(1, current_name_, bytes);
}

int ZipMaster::Extraction::run() {
  if (const auto why = target_.open(owner_.ExtrBaseDir))
    return fail(extract_no_base_dir, MessageKind::error, *why);
  bool direct = false;
  try {
    direct = read_directly();
  } catch (const Unreadable&) {
    return fail(
        extract_unreadable, MessageKind::error,
        "Zip file could not be opened: '" + archive_ + "' changed or went while it was read");
  }
  if (!direct) {
    if (const int failed = plan_through_libzip(); failed != 0) return failed;
  }
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
      current_name_ = printable_entry_name(raw_name(job));
      progress(0, current_name_, job.size);
      if (job.encrypted) {
        CallerSink sink(*this);
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
    return fail(
        extract_unreadable, MessageKind::error,
        "Zip file could not be opened: '" + archive_ + "' changed or went while it was read");
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
  return report_.incomplete() ? extract_incomplete : 0;
}

// The plan from libzip's handle, for archives the directory reader does not
// vouch for; 0, or the extraction's result when it cannot go on.
int ZipMaster::Extraction::plan_through_libzip() {
  opened_ = open_zip(archive_);
  if (!opened_.archive) {
    if (opened_.error == ZIP_ER_NOENT)
      return fail(extract_no_archive, MessageKind::error, "Input file does not exist");
    if (opened_.special)
      return fail(extract_unreadable, MessageKind::error,
                  "Zip file could not be opened: '" + archive_ + "' is not a regular file");
    // Data before the archive (a self-extractor's) or offsets libzip will
    // not take: what libarchive reads is extracted through it instead.
    if ((opened_.error == ZIP_ER_NOZIP || opened_.error == ZIP_ER_INCONS) &&
        other_reader_takes(archive_))
      return extract_through_other;
    // The reason after the usual words: damaged, not a ZIP at all, ...
    return fail(
        extract_unreadable, MessageKind::error,
        "Zip file could not be opened: '" + archive_ + "': " + zip_error_text(opened_.error));
  }
  auto jobs = plan();
  if (!jobs)
    return fail(extract_refused, MessageKind::error,
                "Zip file could not be opened: its entries claim more data than the file holds");
  jobs_ = std::move(*jobs);
  return 0;
}

// The entries to extract, the refused ones reported; nothing when the
// entries' compressed data overlap (more than the file holds).
std::optional<std::vector<ZipMaster::Extraction::Job>> ZipMaster::Extraction::plan() {
  zip_t* archive = opened_.archive.get();
  const zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(archive, 0), 0);
  // Each entry is asked twice rather than kept: its figures stay in the
  // archive's handle.
  const auto stat = [&](zip_int64_t i) {
    zip_stat_t st;
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS, &st) != 0)
      st.valid = 0;
    return st;
  };
  std::uint64_t compressed = 0;
  std::size_t name_bytes = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const zip_stat_t st = stat(i);
    if (st.valid & ZIP_STAT_COMP_SIZE) compressed += st.comp_size;
    if ((st.valid & ZIP_STAT_NAME) && st.name) name_bytes += std::strlen(st.name);
  }
  if (compressed > opened_.file_size) return std::nullopt;

  std::vector<Job> jobs;
  jobs.reserve(static_cast<std::size_t>(count));
  names_.clear();
  names_.reserve(name_bytes);
  for (zip_int64_t i = 0; i < count; ++i) {
    const zip_stat_t st = stat(i);
    ZipEntryFigures entry;
    entry.index = static_cast<zip_uint64_t>(i);
    entry.name = (st.valid & ZIP_STAT_NAME) && st.name ? st.name : "";
    entry.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    entry.packed_size = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    entry.method = (st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : -1;
    entry.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
    entry.mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;
    entry.encrypted =
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    entry.link = is_link_entry(archive, entry.index);
    add_job(jobs, entry);
  }
  return jobs;
}

// The job for an entry, unless its name or kind is refused.
void ZipMaster::Extraction::add_job(std::vector<Job>& jobs, const ZipEntryFigures& entry) {
  if (const EntryName target = parse_entry_name(entry.name); !target.refusal.empty()) {
    refuse(printable_entry_name(entry.name), target.refusal);
    return;
  }
  if (entry.link) {
    refuse(printable_entry_name(entry.name), "symbolic links are not extracted");
    return;
  }
  Job job;
  job.index = direct_ ? entry.header : entry.index;
  job.name_at = names_.size();
  job.name_size = static_cast<std::uint32_t>(entry.name.size());
  names_ += entry.name;
  job.size = entry.size;
  job.packed_size = entry.packed_size;
  job.method = entry.method;
  job.crc = entry.crc;
  job.mtime = entry.mtime;
  job.encrypted = entry.encrypted;
  jobs.push_back(job);
}

// The plan from the archive's directory read in pieces, with no libzip
// handle; false, with nothing reported, when the reader does not vouch for
// the archive, or its entries claim more data than the file holds.
bool ZipMaster::Extraction::read_directly() {
  platform::RegularFile file(platform::resolve(archive_), platform::Links::followed);
  if (!file.is_open()) return false;
  // Opened without waiting; read as any file.
  ::fcntl(file.fd(), F_SETFL, ::fcntl(file.fd(), F_GETFL) & ~O_NONBLOCK);
  const auto directory = ZipDirectory::read(file.fd(), file.size());
  if (!directory || directory->packed_total() > file.size()) return false;
  direct_ = platform::UniqueFd(file.release());
  std::vector<Job> jobs;
  jobs.reserve(static_cast<std::size_t>(directory->count()));
  names_.clear();
  names_.reserve(static_cast<std::size_t>(directory->name_bytes()));
  if (!directory->for_each([&](const ZipEntryFigures& entry) { add_job(jobs, entry); }))
    throw Unreadable{};
  jobs_ = std::move(jobs);
  return true;
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

  // Folded paths are kept as hashes: two paths that share one are only
  // chained without need, which costs a little parallelism, never the order.
  // Sorted, so that equal ones lie together: no map of a node per entry.
  const auto hash = [](const std::string& key) { return std::hash<std::string>{}(key); };
  std::vector<std::pair<std::size_t, std::size_t>> files;  // (folded path, entry)
  files.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const EntryName target = parse_entry_name(raw_name(jobs_[i]));
    if (target.folder) continue;
    std::string key;
    if (dir_names_) {
      for (const auto& part : target.parts) key += ascii_lower(part) + '/';
    } else {
      key = ascii_lower(target.parts.back()) + '/';
    }
    files.emplace_back(hash(key), i);
  }
  std::sort(files.begin(), files.end());
  for (std::size_t k = 1; k < files.size(); ++k)
    if (files[k].first == files[k - 1].first) unite(files[k - 1].second, files[k].second);
  if (dir_names_) {
    for (std::size_t i = 0; i < count; ++i) {
      const EntryName target = parse_entry_name(raw_name(jobs_[i]));
      const std::size_t folders = target.parts.size() - (target.folder ? 0 : 1);
      std::string key;
      for (std::size_t k = 0; k < folders; ++k) {
        key += ascii_lower(target.parts[k]) + '/';
        const auto it = std::lower_bound(files.begin(), files.end(),
                                         std::pair<std::size_t, std::size_t>{hash(key), 0});
        if (it != files.end() && it->first == hash(key)) unite(it->second, i);
      }
    }
  }
  files = {};
  std::vector<std::size_t> last(count, none);  // group -> its latest entry so far
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t root = find(i);
    if (last[root] != none) after_[i] = last[root];
    last[root] = i;
  }
}

// The first worker takes the handle the plan was made with, unless the
// calling thread needs it for encrypted entries; the others open their own
// in their thread.
void ZipMaster::Extraction::start_workers() {
  slots_.resize(look_ahead);
  std::size_t largest = 0;
  for (const auto& job : jobs_)
    if (whole_in_memory(job))
      largest = std::max(largest, static_cast<std::size_t>(job.size + job.packed_size));
  const bool encrypted =
      std::any_of(jobs_.begin(), jobs_.end(), [](const Job& job) { return job.encrypted; });
  if (encrypted) caller_.archive = opened_.archive.get();  // never when read directly
  std::size_t count = std::min<std::size_t>(std::clamp(owner_.Workers, 1u, max_workers),
                                            std::max<std::size_t>(jobs_.size(), 1));
  // Entries of a few dozen bytes are settled, not read: the calling thread's
  // renames set the pace, and a further libzip handle would hold the
  // archive's whole directory again (about 300 bytes an entry) for nothing.
  std::uint64_t bytes = 0;
  for (const auto& job : jobs_) bytes += job.size;
  if (bytes < tiny_entries * jobs_.size()) count = 1;
  for (std::size_t i = 0; i < count; ++i) {
    auto reader = std::make_unique<Reader>();
    if (i == 0 && !encrypted && !direct_) {
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
  if (!direct_ && !reader.archive) {
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
    slot(index).result = std::move(result);
    slot(index).done = true;
    if (index >= cursor_ + wake_after || index + 1 == jobs_.size() ||
        (index == cursor_ && jobs_[index].size >= wake_size))
      posted_.notify_one();
  }
}

// Reports what a worker writes of the entry as it comes, serving the window
// meanwhile, and then what became of it.
ZipMaster::Extraction::Result ZipMaster::Extraction::await(std::size_t index) {
  const Job& job = jobs_[index];
  Slot& slot = this->slot(index);
  std::vector<std::uint64_t> written;
  for (;;) {
    bool done = false;
    Result result;
    {
      std::unique_lock lock(state_mutex_);
      posted_.wait_for(lock, pump_interval,
                       [&] { return slot.done || !slot.written.empty() || broken_; });
      if (broken_) throw Unreadable{};
      written.swap(slot.written);
      done = slot.done;
      // The slot is free for the entry look_ahead further on.
      if (done) result = std::move(std::exchange(slot, Slot{}).result);
    }
    if (written.empty() && !done) {
      owner_.ui_.process_messages();
      if (owner_.cancel_requested_) throw Stopped{};
      continue;
    }
    for (const auto bytes : written) processed(job, bytes);
    written.clear();
    if (done) return result;
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
    if (stops_extraction(refusal->error)) throw WriteStopped{current_name_, std::move(*refusal)};
    refuse(current_name_, refusal->why);
  }
  processed(job, job.size - std::min(reported_, job.size));
}

// Nothing when the file got its final name, was kept as it was, or was
// declined by the CRC handler; otherwise why it was not extracted.
std::optional<Refusal> ZipMaster::Extraction::commit(const Job& job, Result& result) {
  if (result.crc_error && !keep_despite_crc(job, result.crc)) return std::nullopt;
  // The CRC of what was written is known for the file as it now is: a copy
  // that keeps sums takes it instead of reading the file through.
  struct stat committed {};
  auto refusal = target_.commit(*result.temp, result.where, overwrite_, job.mtime,
                                platform::worth_remembering(job.size) ? &committed : nullptr);
  if (!refusal && committed.st_ino != 0) platform::remember_crc(committed, result.crc);
  return refusal;
}

// Reported here only when no handler decides.
bool ZipMaster::Extraction::keep_despite_crc(const Job& job, std::uint32_t found) {
  const bool declined = owner_.crc_declined(report_, current_name_, found, job.crc);
  if (owner_.cancel_requested_) throw Stopped{};
  return !declined;
}

bool ZipMaster::crc_declined(extraction::Report& report, const std::string& name,
                             std::uint32_t found, std::uint32_t expected) {
  char numbers[40];
  std::snprintf(numbers, sizeof numbers, "%08X, expected %08X", found, expected);
  if (!OnCRC32Error) {
    report.refuse(name, std::string("CRC error (found ") + numbers + ")");
    return true;
  }
  bool do_extract = true;
  OnCRC32Error(name, found, expected, do_extract);
  ui_.process_messages();
  if (!do_extract) report.mark_incomplete();
  return !do_extract;
}

std::uint64_t ZipMaster::folder_listings() { return extraction::folder_listings(); }

void ZipMaster::setZipFileName(const std::string& path) {
  zip_file_name_ = path;
  entries_.reset();
}

const std::vector<std::string>& ZipMaster::entries() const {
  if (entries_) return *entries_;
  entries_.emplace();
  // A solid 7z or RAR tells its names only as it is read: listed when extracted.
  if (archive_format(zip_file_name_) != ArchiveFormat::zip && is_archive_name(zip_file_name_))
    return *entries_;
  const auto opened = open_zip(zip_file_name_);
  if (!opened.archive) return *entries_;
  const zip_int64_t count = zip_get_num_entries(opened.archive.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name =
        zip_get_name(opened.archive.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
    entries_->emplace_back(name ? name : "");
  }
  return *entries_;
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
  if (archive_format(zip_file_name_) == ArchiveFormat::seven_zip ||
      archive_format(zip_file_name_) == ArchiveFormat::rar)
    return extract_other();
  int result = 0;
  {
    Extraction extraction(*this);
    result = extraction.run();
  }
  return result == extract_through_other ? extract_other() : result;
}

}  // namespace wingstow

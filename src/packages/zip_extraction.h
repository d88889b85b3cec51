#pragma once

// The state of one ZipMaster::Extract call, shared by the files that hold
// its parts: zip_extract.cpp runs it (the plan, the workers, each entry
// settled in archive order), zip_entry_data.cpp reads, inflates and writes
// one entry, zip_folders.cpp opens the folders entries go into.

#include <libdeflate.h>
#include <zip.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "packages/entry_names.h"
#include "packages/zip_archive.h"
#include "packages/zip_master.h"
#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace wingstow {
namespace extraction {

inline constexpr std::size_t chunk_size = 64 * 1024;

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
  void read(int dir);
  void add(const std::string& name);
  // The name under which wanted exists: exactly as written, else the first
  // match without regard to case (Windows would merge "Panel" and "panel"),
  // else as written.
  const std::string& on_disk(const std::string& wanted) const;
  // Whether anything of that name, in any case, is in the folder.
  bool holds(const std::string& name) const;

 private:
  std::unordered_map<std::string, std::vector<std::string>> by_folded_;
};

// Descriptors of the folders used last, by their path on disk relative to
// the extract directory. Archives keep the entries of a folder together, so
// most entries find their folder open; the least recently used goes first.
class FolderCache {
 public:
  SharedFd find(const std::string& key);
  void put(const std::string& key, SharedFd fd);

 private:
  static constexpr std::size_t capacity = 32;
  using Order = std::list<std::pair<std::string, SharedFd>>;
  Order order_;
  std::unordered_map<std::string, Order::iterator> index_;
};

// Why an entry was not extracted; error is the errno of a failed write.
struct Refusal {
  std::string why;
  int error = 0;
};

std::string system_error(int error);
Refusal write_failure(int error);

// The extract directory, never through a link in its own place: a package's
// "file_zip" made a link to another folder would have the entries written
// there. Folders above it are the user's and are taken as they are.
Fd open_base(const std::string& folder, bool& is_link);

}  // namespace extraction

class ZipMaster::Extraction {
  using Fd = extraction::Fd;
  using SharedFd = extraction::SharedFd;
  using Inflater = extraction::Inflater;
  using FolderNames = extraction::FolderNames;
  using FolderCache = extraction::FolderCache;
  using Refusal = extraction::Refusal;

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
    std::vector<unsigned char> in = std::vector<unsigned char>(extraction::chunk_size);
    std::vector<unsigned char> out = std::vector<unsigned char>(extraction::chunk_size);
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

}  // namespace wingstow

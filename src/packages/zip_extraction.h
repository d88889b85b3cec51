#pragma once

// The state of one ZipMaster::Extract call, shared by the files that hold
// its parts: zip_extract.cpp runs it (the plan, the workers, each entry
// settled in archive order), zip_entry_data.cpp reads, inflates and writes
// one entry; where entries land is extract_target's, shared with the other
// back end.

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
#include "packages/extract_target.h"
#include "packages/zip_archive.h"
#include "packages/zip_directory.h"
#include "packages/zip_master.h"
#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace wingstow {
namespace extraction {

inline constexpr std::size_t chunk_size = 64 * 1024;

struct InflaterFree {
  void operator()(libdeflate_decompressor* inflater) const {
    libdeflate_free_decompressor(inflater);
  }
};
using Inflater = std::unique_ptr<libdeflate_decompressor, InflaterFree>;

}  // namespace extraction

class ZipMaster::Extraction {
  using Fd = extraction::Fd;
  using SharedFd = extraction::SharedFd;
  using Inflater = extraction::Inflater;
  using FolderNames = extraction::FolderNames;
  using Refusal = extraction::Refusal;

 public:
  explicit Extraction(ZipMaster& owner)
      : owner_(owner),
        archive_(owner.zip_file_name_),
        dir_names_(owner.ExtrDirNames),
        overwrite_(owner.ExtrOverWrite),
        whole_limit_(owner.WholeEntryLimit),
        report_(owner.ui_, owner.Unattended) {}
  ~Extraction() { stop_workers(); }

  int run();

 private:
  // What is kept of each entry until its turn: its name lies in names_, and
  // where it lands is made from the name when it is worked on, so that an
  // archive of 100,000 entries holds a few dozen bytes for each.
  struct Job {
    // libzip's index of the entry, or where its local header lies when the
    // directory was read directly.
    std::uint64_t index = 0;
    std::size_t name_at = 0;  // in names_, as the archive gives it
    std::uint64_t size = 0;
    std::uint64_t packed_size = 0;  // of the compressed data
    std::time_t mtime = 0;
    std::uint32_t name_size = 0;
    std::int32_t method = -1;  // compression; -1 when unknown
    std::uint32_t crc = 0;
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

  // The compressed data of one entry as stored: read from the file itself
  // when the directory was read directly, else through libzip, which checks
  // no CRC on it.
  class RawData {
   public:
    explicit RawData(ZipEntryHandle stream) : stream_(std::move(stream)) {}
    RawData(int fd, std::uint64_t at, std::uint64_t size) : fd_(fd), at_(at), left_(size) {}
    // Bytes read; 0 at the end, below 0 on an error that why() tells.
    std::int64_t read(unsigned char* buffer, std::size_t size);
    std::string why() const;

   private:
    ZipEntryHandle stream_;
    int fd_ = -1;
    std::uint64_t at_ = 0;
    std::uint64_t left_ = 0;
    int error_ = 0;
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
    extraction::Destination where;  // keeps temp's folder open
    std::unique_ptr<platform::TempFile> temp;
    std::uint32_t crc = 0;  // of the data written
    bool crc_error = false;
    bool cancelled = false;
    std::exception_ptr error;
  };

  // An entry handed to a worker; guarded by state_mutex_. Only the entries
  // within look_ahead of the one being reported have one: slot(index) is
  // used again once that entry is settled.
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

  bool read_directly();
  int plan_through_libzip();
  std::optional<std::vector<Job>> plan();
  void add_job(std::vector<Job>& jobs, const ZipEntryFigures& entry);
  std::string_view raw_name(const Job& job) const {
    return std::string_view(names_).substr(job.name_at, job.name_size);
  }
  Slot& slot(std::size_t index) { return slots_[index % slots_.size()]; }
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
  std::optional<RawData> open_raw(Reader& reader, const Job& job, Result& result);
  void inflate_whole(Reader& reader, const Job& job, Sink& sink, Result& result);
  void inflate_chunks(Reader& reader, const Job& job, Sink& sink, Result& result);
  void copy_stored(Reader& reader, const Job& job, Sink& sink, Result& result);
  void copy_stream(Reader& reader, const Job& job, Sink& sink, Result& result);
  ZipEntryHandle open_entry(zip_t* archive, const Job& job, std::string& why);
  bool keep_despite_crc(const Job& job, std::uint32_t found);

  ZipMaster& owner_;
  const std::string archive_;  // as named when the extraction began
  const bool dir_names_;
  const bool overwrite_;
  const std::uint64_t whole_limit_;
  OpenedArchive opened_;
  // The archive when its directory was read directly: every thread reads
  // entries through it, and no libzip handle is opened.
  platform::UniqueFd direct_;
  std::vector<Job> jobs_;
  std::string names_;         // the jobs' names, one after the other
  std::string current_name_;  // printable, of the entry being reported

  // The folders met so far, shared by the workers.
  extraction::Target target_;
  extraction::Report report_;

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
};

}  // namespace wingstow

// One entry of an extraction, read and written into a temporary file beside
// its target: stored data copied, deflated data inflated whole in memory or
// in chunks, other methods and encrypted entries through libzip; nothing is
// kept that does not come to its declared size.

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "packages/zip_extraction.h"
#include "platform/files.h"

namespace wingstow {

using extraction::Refusal;

namespace {

using extraction::chunk_size;

// Data in memory is written in larger pieces: fewer system calls.
constexpr std::size_t write_size = 16 * chunk_size;
constexpr int password_tries = 3;

std::string libzip_error(zip_error_t* error) { return zip_error_strerror(error); }

std::string libzip_error(int code) { return zip_error_text(code); }

std::uint32_t crc_of(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  return libdeflate_crc32(crc, data, size);
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

}  // namespace

// Reads the entry into a temporary file in its folder, on any thread but
// for encrypted entries, which ask the user.
ZipMaster::Extraction::Result ZipMaster::Extraction::execute(Reader& reader, const Job& job,
                                                             Sink& sink) {
  Result result;
  const EntryName target = parse_entry_name(raw_name(job));
  if (target.folder && !dir_names_) return result;
  Refusal refusal;
  auto where = target_.place(target, dir_names_, refusal);
  if (!where) {
    result.refusal = std::move(refusal);
    return result;
  }
  if (target.folder) return result;
  result.where = std::move(*where);
  if (result.where.exists && !overwrite_) return result;
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
  result.temp = std::make_unique<platform::TempFile>(result.where.dir->get());
  if (result.temp->fd() >= 0) return true;
  result.refusal = extraction::write_failure(result.temp->error());
  return false;
}

// Writes in chunks, each reported; false when stopped or failed.
bool ZipMaster::Extraction::write_out(Result& result, const unsigned char* data, std::size_t size,
                                      Sink& sink) {
  for (std::size_t done = 0; done < size;) {
    const std::size_t n = std::min(write_size, size - done);
    if (!platform::write_all(result.temp->fd(), data + done, n)) {
      result.refusal = extraction::write_failure(errno);
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

std::int64_t ZipMaster::Extraction::RawData::read(unsigned char* buffer, std::size_t size) {
  if (stream_) return zip_fread(stream_.get(), buffer, size);
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size, left_));
  for (;;) {
    const ssize_t n = ::pread(fd_, buffer, want, static_cast<off_t>(at_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = errno;
      return -1;
    }
    at_ += static_cast<std::uint64_t>(n);
    left_ -= static_cast<std::uint64_t>(n);
    return n;
  }
}

std::string ZipMaster::Extraction::RawData::why() const {
  if (stream_) return libzip_error(zip_file_get_error(stream_.get()));
  return libzip_error(ZIP_ER_READ) + ": " + std::strerror(error_);
}

// The entry's data as stored, not inflated.
std::optional<ZipMaster::Extraction::RawData> ZipMaster::Extraction::open_raw(Reader& reader,
                                                                              const Job& job,
                                                                              Result& result) {
  if (direct_) {
    const auto data = zip_data_offset(direct_.get(), job.index);
    if (!data) {
      result.refusal = Refusal{"it cannot be read (" + libzip_error(ZIP_ER_READ) + ")"};
      return std::nullopt;
    }
    return RawData(direct_.get(), *data, job.packed_size);
  }
  zip_error_clear(reader.archive);
  ZipEntryHandle stream(zip_fopen_index(reader.archive, job.index, ZIP_FL_COMPRESSED));
  if (!stream) {
    result.refusal =
        Refusal{"it cannot be read (" + libzip_error(zip_get_error(reader.archive)) + ")"};
    return std::nullopt;
  }
  return RawData(std::move(stream));
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
  auto raw = open_raw(reader, job, result);
  if (!raw) return;
  for (std::size_t got = 0; got < packed;) {
    const std::int64_t n = raw->read(in + got, packed - got);
    if (n < 0) {
      result.refusal = damaged(raw->why());
      return;
    }
    if (n == 0) {
      result.refusal = damaged(libzip_error(ZIP_ER_EOF));
      return;
    }
    got += static_cast<std::size_t>(n);
  }
  raw.reset();
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
  auto raw = open_raw(reader, job, result);
  if (!raw || !open_temp(result)) return;
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
      const std::int64_t n = raw->read(reader.in.data(), reader.in.size());
      if (n < 0) {
        result.refusal = damaged(raw->why());
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
  auto raw = open_raw(reader, job, result);
  if (!raw || !open_temp(result)) return;
  std::uint64_t written = 0;
  std::uint32_t crc = 0;
  while (written < job.size) {
    const std::int64_t n = raw->read(reader.in.data(), reader.in.size());
    if (n < 0) {
      result.refusal = damaged(raw->why());
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

}  // namespace wingstow

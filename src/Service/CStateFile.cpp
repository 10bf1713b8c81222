#include "Service/CStateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "Platform/Core/SystemError.h"

namespace Faultwright {

namespace {

const char kMagic[4] = {'F', 'W', 'E', 'S'};
const uint32_t kVersion = 1;
const size_t kBootIdBytes = 36;  // a UUID as text
const size_t kCountOffset = sizeof kMagic + sizeof kVersion + kBootIdBytes;
const size_t kHeaderBytes = kCountOffset + sizeof(uint32_t);
const size_t kChecksumBytes = sizeof(uint32_t);
const size_t kMaxFileBytes = kHeaderBytes + CStateFile::kMaxRecords * sizeof(CErrorState) + kChecksumBytes;

// CRC-32 as in zlib and Ethernet (reflected polynomial 0xEDB88320).
constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) != 0 ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[i] = value;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Crc32(const char* bytes, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ static_cast<uint8_t>(bytes[i])) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

template <typename T>
void Append(std::string& bytes, const T& value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T ReadAt(const std::string& bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

bool WriteAll(int descriptor, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t count = write(descriptor, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

// At most limit bytes of descriptor's file, up to its end; false on a failed read.
bool ReadUpTo(int descriptor, size_t limit, std::string* bytes) {
  char buffer[4096];
  while (bytes->size() < limit) {
    ssize_t count = read(descriptor, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    if (count == 0) break;
    bytes->append(buffer, static_cast<size_t>(count));
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

CStateFile::CStateFile(std::string path, std::string bootId) : path_(std::move(path)), bootId_(std::move(bootId)) {
  bootId_.resize(std::min(bootId_.size(), kBootIdBytes));
}

std::string CStateFile::CurrentBootId() {
  std::ifstream file("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(file, id);
  return file ? id : std::string();
}

bool CStateFile::Fail(const std::string& what) {
  errorText_ = Core::SystemError(what);
  return false;
}

bool CStateFile::Save(const std::vector<CErrorState>& records) {
  if (records.size() > kMaxRecords) {
    errorText_ = std::to_string(records.size()) + " records, more than a state file holds";
    return false;
  }
  std::string bytes(kMagic, sizeof kMagic);
  bytes.reserve(kHeaderBytes + records.size() * sizeof(CErrorState) + kChecksumBytes);
  Append(bytes, kVersion);
  bytes += bootId_;
  bytes.resize(kCountOffset, '\0');
  Append(bytes, static_cast<uint32_t>(records.size()));
  for (const CErrorState& record : records) Append(bytes, record);
  Append(bytes, Crc32(bytes.data(), bytes.size()));

  // Whoever may write the directory may have left something at the temporary
  // name: a link there would be followed, a hard link's file overwritten.
  const std::string temporary = path_ + ".tmp";
  if (unlink(temporary.c_str()) != 0 && errno != ENOENT) return Fail("unlink " + temporary);
  int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (file < 0) return Fail("open " + temporary);
  bool written = WriteAll(file, bytes) && fsync(file) == 0;
  int writeError = errno;
  if (close(file) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written || rename(temporary.c_str(), path_.c_str()) != 0) {
    if (!written) errno = writeError;
    Fail((written ? "rename " : "write ") + temporary);
    unlink(temporary.c_str());
    return false;
  }
  // The new name lasts a power cut only once the directory is on disk too.
  const std::string directory = DirectoryOf(path_);
  int handle = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return Fail("open " + directory);
  bool synced = fsync(handle) == 0;
  int syncError = errno;
  close(handle);
  errno = syncError;
  return synced || Fail("fsync " + directory);
}

CStateFile::LoadResult CStateFile::Load(std::vector<CErrorState>& records) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer.
  int file = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0) {
    if (errno == ENOENT) return kAbsent;
    Fail("open " + path_);
    return kRejected;
  }
  auto reject = [this](const std::string& reason) {
    errorText_ = reason;
    return kRejected;
  };
  struct stat status;
  const bool known = fstat(file, &status) == 0;
  const bool regular = known && S_ISREG(status.st_mode);
  std::string bytes;
  bool read = regular && ReadUpTo(file, kMaxFileBytes + 1, &bytes);
  int readError = errno;
  close(file);
  if (known && !regular) return reject("not a regular file");
  if (!read) {
    errno = readError;
    Fail((known ? "read " : "fstat ") + path_);
    return kRejected;
  }

  if (bytes.size() < kHeaderBytes + kChecksumBytes) return reject("shorter than a state file's header");
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return reject("not a state file");
  uint32_t version = ReadAt<uint32_t>(bytes, sizeof kMagic);
  if (version != kVersion) return reject("format version " + std::to_string(version) + ", or another byte order");
  uint32_t count = ReadAt<uint32_t>(bytes, kCountOffset);
  if (count > kMaxRecords) return reject("announces " + std::to_string(count) + " records");
  size_t expected = kHeaderBytes + count * sizeof(CErrorState) + kChecksumBytes;
  if (bytes.size() != expected) {
    return reject(std::to_string(bytes.size()) + " bytes long instead of " + std::to_string(expected) + ": torn");
  }
  if (Crc32(bytes.data(), bytes.size() - kChecksumBytes) != ReadAt<uint32_t>(bytes, bytes.size() - kChecksumBytes)) {
    return reject("checksum mismatch: corrupt");
  }

  std::string fileBoot = bytes.substr(sizeof kMagic + sizeof kVersion, kBootIdBytes);
  fileBoot.resize(std::strlen(fileBoot.c_str()));
  const bool sameBoot = !bootId_.empty() && fileBoot == bootId_;
  records.clear();
  for (uint32_t i = 0; i < count; ++i) {
    CErrorState record = ReadAt<CErrorState>(bytes, kHeaderBytes + i * sizeof(CErrorState));
    if (!sameBoot) {
      record.Raised = record.Cleared = Core::MonotonicTime();
      record.Flags &= static_cast<uint16_t>(~CErrorState::kActive);
    }
    records.push_back(record);
  }
  return kLoaded;
}

}  // namespace Faultwright

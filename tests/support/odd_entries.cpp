#include "support/odd_entries.h"

#include "support/temp_tree.h"

#include <system_error>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace wingstow::test {

const char* entry_name(Entry entry) {
  constexpr const char* names[] = {"a folder",         "a named pipe",
                                   "a socket",         "a link to /dev/zero",
                                   "a link to a file", "a dangling link"};
  return names[static_cast<int>(entry)];
}

void make_entry(const std::string& path, Entry entry, const std::string& target) {
  remove_tree(path);
  int made = 0;
  if (entry == Entry::folder) made = ::mkdir(path.c_str(), 0777);
  if (entry == Entry::pipe) made = ::mkfifo(path.c_str(), 0600);
  if (entry == Entry::link_to_dev_zero) made = ::symlink("/dev/zero", path.c_str());
  if (entry == Entry::link_to_file) made = ::symlink(target.c_str(), path.c_str());
  if (entry == Entry::dangling_link) made = ::symlink((path + ".nowhere").c_str(), path.c_str());
  if (entry == Entry::socket) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    made = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);  // the socket's file stays
  }
  if (made != 0) throw std::system_error(errno, std::generic_category(), path);
}

}  // namespace wingstow::test

#include "support/special_files.h"

#include "support/temp_tree.h"

#include <stdexcept>
#include <system_error>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace wingstow::test {

const char* entry_name(Entry entry) {
  switch (entry) {
    case Entry::folder:
      return "a folder";
    case Entry::pipe:
      return "a named pipe";
    case Entry::socket:
      return "a socket";
    case Entry::link_to_dev_zero:
      return "a link to /dev/zero";
    case Entry::link_to_file:
      return "a link to a file";
    case Entry::dangling_link:
      return "a dangling link";
  }
  return "?";
}

void make_entry(const std::string& path, Entry entry, const std::string& target) {
  remove_tree(path);
  int result = 0;
  switch (entry) {
    case Entry::folder:
      result = ::mkdir(path.c_str(), 0777);
      break;
    case Entry::pipe:
      result = ::mkfifo(path.c_str(), 0600);
      break;
    case Entry::socket: {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (path.size() >= sizeof address.sun_path) throw std::runtime_error("too long: " + path);
      path.copy(address.sun_path, path.size());
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
      ::close(fd);  // the socket's file stays
      break;
    }
    case Entry::link_to_dev_zero:
      result = ::symlink("/dev/zero", path.c_str());
      break;
    case Entry::link_to_file:
      result = ::symlink(target.c_str(), path.c_str());
      break;
    case Entry::dangling_link:
      result = ::symlink((path + ".nowhere").c_str(), path.c_str());
      break;
  }
  if (result != 0) throw std::system_error(errno, std::generic_category(), path);
}

}  // namespace wingstow::test

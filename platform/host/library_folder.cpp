#include "platform/host/library_folder.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <mutex>

namespace veldrane::host {

namespace {

struct FolderState {
  std::mutex mutex;
  std::string override_folder;
};

FolderState& State() {
  static FolderState state;
  return state;
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ImageFolder() {
  Dl_info info{};
  std::string image;
  if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) != 0 && info.dli_fname != nullptr) {
    image = info.dli_fname;
  }
  // The main program may be reported by the name it was started with;
  // the kernel knows its real path.
  if (image.find('/') == std::string::npos) image = "/proc/self/exe";
  char resolved[PATH_MAX];
  if (realpath(image.c_str(), resolved) != nullptr) image = resolved;
  return ParentOf(image);
}

}  // namespace

std::string LibraryFolder() {
  auto& state = State();
  {
    std::lock_guard lock(state.mutex);
    if (!state.override_folder.empty()) return state.override_folder;
  }
  static const std::string image_folder = ImageFolder();
  return image_folder;
}

void SetLibraryFolder(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  auto& state = State();
  std::lock_guard lock(state.mutex);
  state.override_folder = std::move(folder);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  while (!name.empty() && (name.front() == '\\' || name.front() == '/')) name.remove_prefix(1);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.remove_suffix(1);
  if (folder.empty()) return std::string(name);
  std::string out(folder);
  if (out != "/") out += '/';
  out.append(name);
  return out;
}

}  // namespace veldrane::host

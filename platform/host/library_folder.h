// The folder of the component library, where the connection file and the
// translation database lie, and the joining of the file names that the
// library writes with a leading backslash ("\connections.cnn").
//
// The folder is found once, from the loaded image that holds this code
// (libveldrane.so, or the executable when a program links our objects
// directly). Hosts that keep those files elsewhere, and tests, set it.
#pragma once

#include <string>
#include <string_view>

namespace veldrane::host {

// The folder of the library file, without a trailing separator; the folder
// set by SetLibraryFolder when one was set.
std::string LibraryFolder();
// Overrides the folder for the whole process; an empty text restores the
// folder of the library file.
void SetLibraryFolder(std::string folder);

// `folder` joined with `name`: one "/" between them, whatever separator
// (backslash or slash) `name` begins with. An empty folder leaves `name`
// relative to the working directory.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace veldrane::host

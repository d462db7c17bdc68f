// The shared library's own translation unit: its version, so that hosts can
// tell which build they loaded.
namespace veldrane {
extern "C" const char* veldrane_version() { return "0.1.0"; }
}  // namespace veldrane

// The string built-ins that live outside builtins_strings.cpp but are listed
// in its table: searching and replacing (builtins_search.cpp) and the
// byte-oriented variants (builtins_bytes.cpp).
#pragma once

#include "vbscript/builtins.h"

namespace veldrane::vbs {

Variant InStr(BuiltinContext& ctx, Args args);
Variant InStrRev(BuiltinContext& ctx, Args args);
Variant Replace(BuiltinContext& ctx, Args args);
Variant StrComp(BuiltinContext& ctx, Args args);

Variant InStrB(BuiltinContext& ctx, Args args);
Variant LenB(BuiltinContext& ctx, Args args);
Variant LeftB(BuiltinContext& ctx, Args args);
Variant RightB(BuiltinContext& ctx, Args args);
Variant MidB(BuiltinContext& ctx, Args args);

}  // namespace veldrane::vbs

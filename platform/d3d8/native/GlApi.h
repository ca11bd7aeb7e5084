// The OpenGL that the back end calls on the desktop: OpenGL 3.3 core through
// libepoxy, with its shaders written in GLSL 3.30.
#pragma once

#include "FixedFunction.h"

#include <epoxy/gl.h>

namespace gl_api {

constexpr fixed_function::Dialect kDialect = fixed_function::Dialect::Glsl330;

}  // namespace gl_api

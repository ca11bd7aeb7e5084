// The OpenGL that the back end calls in a browser: WebGL 2, that is OpenGL ES
// 3.0, through emscripten, with its shaders written in GLSL ES 3.00.
// BRALMOND_GLES marks the back end's OpenGL ES path.
#pragma once

#include "FixedFunction.h"

#include <GLES3/gl3.h>

#define BRALMOND_GLES 1

namespace gl_api {

constexpr fixed_function::Dialect kDialect = fixed_function::Dialect::GlslEs300;

}  // namespace gl_api

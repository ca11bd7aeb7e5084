// The one OpenGL context in a browser: WebGL 2 (OpenGL ES 3.0) on the page's
// canvas, made opaque, without antialiasing (the device draws offscreen and
// blits its picture in) and with Direct3D's first-vertex flat shading
// (WEBGL_provoking_vertex where the browser offers it).
#include "GlContext.h"

#include "GlBackend.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>

namespace gl_context {

namespace {

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;

// Flat shading takes the first vertex's colour, as in Direct3D, where the
// extension exists; false where the context keeps WebGL's own rule (the last).
EM_JS(int, UseFirstVertexForFlatShading, (), {
    const gl = GL.currentContext && GL.currentContext.GLctx;
    const extension = gl && gl.getExtension('WEBGL_provoking_vertex');
    if (!extension) return 0;
    extension.provokingVertexWEBGL(extension.FIRST_VERTEX_CONVENTION_WEBGL);
    return 1;
});

}  // namespace

bool MakeCurrent(SDL_Window*)
{
    if (!context) {
        EmscriptenWebGLContextAttributes attributes;
        emscripten_webgl_init_context_attributes(&attributes);
        attributes.majorVersion = 2;
        attributes.minorVersion = 0;
        attributes.alpha = EM_FALSE;
        attributes.depth = EM_FALSE;
        attributes.stencil = EM_FALSE;
        attributes.antialias = EM_FALSE;
        attributes.preserveDrawingBuffer = EM_FALSE;
        context = emscripten_webgl_create_context("#canvas", &attributes);
        if (context <= 0) {
            std::fprintf(stderr, "d3d8: the browser gives no WebGL 2 context\n");
            context = 0;
            return false;
        }
        emscripten_webgl_make_context_current(context);
        // Without the extension the back end turns flat triangles round instead.
        gl_backend::SetFlatShadingFromLastVertex(!UseFirstVertexForFlatShading());
        return true;
    }
    return emscripten_webgl_make_context_current(context) == EMSCRIPTEN_RESULT_SUCCESS;
}

bool OnWindow()
{
    return context != 0;
}

void SwapWindow(SDL_Window*, bool)
{
    // The browser shows the canvas when the show yields to it.
}

}  // namespace gl_context

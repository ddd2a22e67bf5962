// The browser build's stand-in for libepoxy's <epoxy/gl.h>: WebGL2 (OpenGL ES 3.0) under the names
// the graphics device uses on desktop OpenGL 3.3. The build puts platform/webgl first on the
// include path, so the device's files compile unchanged for both.
//
// What ES 3.0 lacks is supplied here or in gfx_gles_web.cpp:
// - colours come as B, G, R, A bytes (D3DCOLOR): vertex attributes given the size GL_BGRA are read
//   as four bytes and the shader swaps red and blue (GfxShaderPrologue); BGRA texture uploads are
//   swapped to RGBA on the way, and reading a texture back goes through a framebuffer;
// - draws with a base vertex move the attribute pointers by that many vertices for the draw;
// - the double-precision depth calls take their float forms;
// - a buffer is written with glBufferSubData (WebGL maps no buffer), fences are only polled
//   (WebGL waits no time on them), and the occlusion query counts any sample, not each;
// - the provoking vertex is the last one and cannot be changed; polygon fill modes, point sizes,
//   border colours and border addressing (clamped to the edge instead) do not exist. The game's
//   pictures use none of them.
#pragma once
#include <GLES3/gl3.h>

#include <cstdint>

#define GL_BGRA 0x80E1
#define GL_CLAMP_TO_BORDER GL_CLAMP_TO_EDGE
#define GL_TEXTURE_BORDER_COLOR 0x1004
#define GL_DEPTH_COMPONENT32 GL_DEPTH_COMPONENT32F
#define GL_SAMPLES_PASSED GL_ANY_SAMPLES_PASSED
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02

inline void glClearDepth(double depth) { glClearDepthf(static_cast<float>(depth)); }
inline void glDepthRange(double nearZ, double farZ) {
    glDepthRangef(static_cast<float>(nearZ), static_cast<float>(farZ));
}
inline void glProvokingVertex(GLenum) {}
inline void glPolygonMode(GLenum, GLenum) {}
inline void glPointSize(GLfloat) {}
inline void glGetQueryObjectui64v(GLuint id, GLenum pname, GLuint64* value) {
    GLuint v = 0;
    glGetQueryObjectuiv(id, pname, &v);
    *value = v;
}

#include "platform/gfx_gles.h"
inline void* GfxWebMapBufferRange(GLenum, GLintptr, GLsizeiptr, GLbitfield) { return nullptr; }

#define glBindBuffer GfxWebBindBuffer
#define glVertexAttribPointer GfxWebVertexAttribPointer
#define glDrawElementsBaseVertex GfxWebDrawElementsBaseVertex
#define glTexImage2D GfxWebTexImage2D
#define glTexSubImage2D GfxWebTexSubImage2D
#define glGetTexImage GfxWebGetTexImage
#define glSamplerParameterfv GfxWebSamplerParameterfv
#define glClientWaitSync GfxWebClientWaitSync
#define glMapBufferRange GfxWebMapBufferRange

// The context is WebGL2, which the device takes for the 3.3 it asks for on the desktop; the
// extensions it asks about (video memory figures) do not exist there.
inline int epoxy_gl_version() { return 33; }
inline bool epoxy_has_gl_extension(const char*) { return false; }

// WebGL2's shading language, with the precision desktop GLSL has, and the colour attributes read
// in B, G, R, A order (see the vertex shader).
#define GFX_GLSL_PROLOGUE \
    "#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\n" \
    "#define BGRA_ATTRIBUTES 1\n"

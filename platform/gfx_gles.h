// The browser build's versions of the desktop OpenGL calls WebGL2 lacks (gfx_gles_web.cpp); the
// browser build's GL header (platform/webgl/epoxy/gl.h) gives the device's calls these names.
#pragma once
#include <GLES3/gl3.h>

void GfxWebBindBuffer(GLenum target, GLuint buffer);
void GfxWebVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                               const void* pointer);
void GfxWebDrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* indices, GLint baseVertex);
void GfxWebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                      GLenum format, GLenum type, const void* pixels);
void GfxWebTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                         GLenum type, const void* pixels);
void GfxWebGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels);
void GfxWebSamplerParameterfv(GLuint sampler, GLenum pname, const GLfloat* params);
GLenum GfxWebClientWaitSync(GLsync sync, GLbitfield flags, GLuint64 timeout);

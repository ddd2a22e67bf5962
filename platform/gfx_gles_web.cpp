// The browser build's side of the graphics device: the desktop OpenGL calls WebGL2 lacks, done with
// what it has (see platform/webgl/epoxy/gl.h, which routes the device's calls here).
#include <GLES3/gl3.h>

#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/gfx_gles.h"

namespace {
constexpr GLenum kBgra = 0x80E1;
constexpr GLenum kBorderColor = 0x1004;
constexpr GLuint kTrackedAttributes = 8;

// Each attribute's pointer as last set, and the vertex buffer it reads: a draw with a base vertex
// moves them for its own duration.
struct AttributePointer {
    GLuint buffer = 0;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLboolean normalized = GL_FALSE;
    GLsizei stride = 0;
    uintptr_t offset = 0;
};
AttributePointer attributes[kTrackedAttributes];
GLuint arrayBuffer = 0;
std::vector<uint8_t> swapped;
// Each texture's level-0 size as uploaded (ES 3.0 cannot ask a texture its size).
struct TextureSize {
    GLsizei width, height;
};
std::unordered_map<GLuint, TextureSize> textureSizes;

// The attribute's size in bytes per vertex, when the stride is 0 (tightly packed).
GLsizei PackedSize(const AttributePointer& a) {
    const GLsizei component = (a.type == GL_UNSIGNED_BYTE || a.type == GL_BYTE) ? 1
                              : (a.type == GL_UNSIGNED_SHORT || a.type == GL_SHORT) ? 2 : 4;
    return component * a.size;
}

// B, G, R, A bytes to R, G, B, A (the same swap both ways).
const void* SwapRedBlue(const void* pixels, size_t count) {
    const uint8_t* src = static_cast<const uint8_t*>(pixels);
    swapped.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        swapped[4 * i + 0] = src[4 * i + 2];
        swapped[4 * i + 1] = src[4 * i + 1];
        swapped[4 * i + 2] = src[4 * i + 0];
        swapped[4 * i + 3] = src[4 * i + 3];
    }
    return swapped.data();
}
}  // namespace

void GfxWebBindBuffer(GLenum target, GLuint buffer) {
    if (target == GL_ARRAY_BUFFER) arrayBuffer = buffer;
    glBindBuffer(target, buffer);
}

void GfxWebVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                               const void* pointer) {
    if (size == static_cast<GLint>(kBgra)) size = 4;  // swapped by the shader
    if (index < kTrackedAttributes) {
        attributes[index] = {arrayBuffer, size, type, normalized, stride, reinterpret_cast<uintptr_t>(pointer)};
    }
    glVertexAttribPointer(index, size, type, normalized, stride, pointer);
}

void GfxWebDrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* indices, GLint baseVertex) {
    if (baseVertex == 0) {
        glDrawElements(mode, count, type, indices);
        return;
    }
    const GLuint bound = arrayBuffer;
    auto point = [](GLuint index, const AttributePointer& a, intptr_t shift) {
        glBindBuffer(GL_ARRAY_BUFFER, a.buffer);
        glVertexAttribPointer(index, a.size, a.type, a.normalized, a.stride,
                              reinterpret_cast<const void*>(a.offset + shift));
    };
    for (GLuint i = 0; i < kTrackedAttributes; ++i) {
        const AttributePointer& a = attributes[i];
        if (!a.buffer) continue;
        point(i, a, static_cast<intptr_t>(baseVertex) * (a.stride ? a.stride : PackedSize(a)));
    }
    glDrawElements(mode, count, type, indices);
    for (GLuint i = 0; i < kTrackedAttributes; ++i) {
        if (attributes[i].buffer) point(i, attributes[i], 0);
    }
    glBindBuffer(GL_ARRAY_BUFFER, bound);
}

void GfxWebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                      GLenum format, GLenum type, const void* pixels) {
    if (format == kBgra) {
        format = GL_RGBA;
        if (pixels) pixels = SwapRedBlue(pixels, static_cast<size_t>(width) * height);
    }
    if (level == 0) {
        GLint texture = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        textureSizes[static_cast<GLuint>(texture)] = {width, height};
    }
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

void GfxWebTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                         GLenum type, const void* pixels) {
    if (format == kBgra) {
        format = GL_RGBA;
        if (pixels) pixels = SwapRedBlue(pixels, static_cast<size_t>(width) * height);
    }
    glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
}

void GfxWebGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels) {
    // ES 3.0 reads pixels from framebuffers only: the texture bound to the active unit is attached
    // to one of its own for the read, at the size its upload gave it.
    GLint texture = 0, readFramebuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    auto size = textureSizes.find(static_cast<GLuint>(texture));
    if (level != 0 || size == textureSizes.end()) return;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, static_cast<GLuint>(texture), level);
    if (glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        glReadPixels(0, 0, size->second.width, size->second.height, GL_RGBA, type, pixels);
        if (format == kBgra) {
            const size_t n = static_cast<size_t>(size->second.width) * size->second.height;
            SwapRedBlue(pixels, n);
            std::memcpy(pixels, swapped.data(), n * 4);
        }
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));
    glDeleteFramebuffers(1, &fbo);
}

void GfxWebSamplerParameterfv(GLuint sampler, GLenum pname, const GLfloat* params) {
    if (pname == kBorderColor) return;
    glSamplerParameterfv(sampler, pname, params);
}

GLenum GfxWebClientWaitSync(GLsync sync, GLbitfield flags, GLuint64) { return glClientWaitSync(sync, flags, 0); }

// GPUVertexArray: buffer creation for attributes and indices, indexed drawing, and clean-up.
#include "grf/GRFGPU/GPUVertexArray.h"

#include <GLES3/gl3.h>

#include <vector>

#include "hilog/log.h"

namespace GRF {

class GPUVertexArrayPrivate {
public:
    GLuint array = 0;
    GLuint index_buffer = 0;
    std::vector<GLuint> vertex_buffers;
    GLint index_count = 0;
};

namespace {

const char kLogTag[] = "velmo VideoDecoder";

} // namespace

GPUVertexArray::GPUVertexArray()
    : _private(new GPUVertexArrayPrivate)
{
    glGenVertexArrays(1, &_private->array);
    OH_LOG_Print(LOG_APP, LOG_INFO, 0, kLogTag, "GPUVertexArray2 from: vertex array %u", _private->array);
}

GPUVertexArray::~GPUVertexArray()
{
    const GLuint array = _private->array;
    for (GLuint buffer : _private->vertex_buffers)
        glDeleteBuffers(1, &buffer);
    _private->vertex_buffers.clear();
    if (_private->index_buffer != 0)
        glDeleteBuffers(1, &_private->index_buffer);
    if (_private->array != 0)
        glDeleteVertexArrays(1, &_private->array);
    delete _private;
    // The array's name pairs this line with the constructor's; formatted without allocating, since
    // a destructor must not throw.
    OH_LOG_Print(LOG_APP, LOG_INFO, 0, kLogTag, "GPUVertexArray from: vertex array %u", array);
}

int GPUVertexArray::add_vertex(const float* data, int size_in_bytes, int attribute_index, int components,
                               unsigned int stride)
{
    GLuint buffer = 0;
    glBindVertexArray(_private->array);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, size_in_bytes, data, GL_STATIC_DRAW);
    glVertexAttribPointer(static_cast<GLuint>(attribute_index), components, GL_FLOAT, GL_FALSE,
                          static_cast<GLsizei>(stride), nullptr);
    glEnableVertexAttribArray(static_cast<GLuint>(attribute_index));
    _private->vertex_buffers.push_back(buffer);
    glBindVertexArray(0);
    return 0;
}

int GPUVertexArray::add_vertex(float* data, int size_in_bytes, int attribute_index, int components,
                               unsigned int stride)
{
    return add_vertex(static_cast<const float*>(data), size_in_bytes, attribute_index, components, stride);
}

int GPUVertexArray::set_index(const unsigned int* data, int size_in_bytes)
{
    _private->index_count = size_in_bytes >> 2;
    glBindVertexArray(_private->array);
    // A second call replaces the index buffer; the old one is referenced by nothing and would leak.
    if (_private->index_buffer != 0)
        glDeleteBuffers(1, &_private->index_buffer);
    glGenBuffers(1, &_private->index_buffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, _private->index_buffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, size_in_bytes, data, GL_STATIC_DRAW);
    glBindVertexArray(0);
    return 0;
}

int GPUVertexArray::set_index(unsigned int* data, int size_in_bytes)
{
    return set_index(static_cast<const unsigned int*>(data), size_in_bytes);
}

int GPUVertexArray::draw()
{
    glBindVertexArray(_private->array);
    glDrawElements(GL_TRIANGLES, _private->index_count, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
    return 0;
}

} // namespace GRF

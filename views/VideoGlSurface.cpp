#include "views/VideoGlSurface.h"

#include <QMatrix3x3>
#include <QOpenGLContext>

namespace {

const char* const kVertexShader = R"(
attribute highp vec2 position;
varying highp vec2 texCoord;
void main()
{
    texCoord = vec2((position.x + 1.0) * 0.5, (1.0 - position.y) * 0.5);
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// Y, U, V (or Y and interleaved UV) to RGB with the picture's matrix and range.
const char* const kFragmentShader = R"(
varying highp vec2 texCoord;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform mediump float interleaved;
uniform mediump mat3 matrix;
uniform mediump vec3 offset;
void main()
{
    mediump float y = texture2D(planeY, texCoord).r;
    mediump vec2 uv = interleaved > 0.5 ? texture2D(planeU, texCoord).ra
                                        : vec2(texture2D(planeU, texCoord).r, texture2D(planeV, texCoord).r);
    gl_FragColor = vec4(clamp(matrix * (vec3(y, uv) - offset), 0.0, 1.0), 1.0);
}
)";

// Rows: R, G, B from (Y, U, V) less the offsets.
QMatrix3x3 ColourMatrix(bool bt709, bool fullRange)
{
    const float ys = fullRange ? 1.0f : 255.0f / 219.0f;
    const float cs = fullRange ? 1.0f : 255.0f / 224.0f;
    const float kr = bt709 ? 0.2126f : 0.299f, kb = bt709 ? 0.0722f : 0.114f, kg = 1.0f - kr - kb;
    const float rv = 2.0f * (1.0f - kr), bu = 2.0f * (1.0f - kb);
    const float gu = -bu * kb / kg, gv = -rv * kr / kg;
    const float values[9] = {ys, 0.0f, rv * cs, ys, gu * cs, gv * cs, ys, bu * cs, 0.0f};
    return QMatrix3x3(values);
}

}  // namespace

VideoGlSurface::VideoGlSurface(QWidget* pane) : QOpenGLWidget(pane)
{
    // The pane under it takes every click, wheel turn and key.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

VideoGlSurface::~VideoGlSurface()
{
    // QOpenGLWidget's own destructor destroys the context, after this object is gone.
    disconnect(m_contextGone);
    if (!m_bReady) return;
    makeCurrent();
    Release();
    doneCurrent();
}

void VideoGlSurface::SetFrame(std::shared_ptr<const VideoFrame> frame)
{
    m_frame = std::move(frame);
    m_bNewFrame = m_frame != nullptr;
    update();
}

bool VideoGlSurface::SoftwareRasteriser(const char* renderer)
{
    if (!renderer) return true;
    const QByteArray name = QByteArray(renderer).toLower();
    return name.contains("llvmpipe") || name.contains("softpipe") || name.contains("software rasterizer");
}

void VideoGlSurface::SetDestination(const QRect& destination)
{
    if (destination == m_rcDestination) return;
    m_rcDestination = destination;
    update();
}

void VideoGlSurface::initializeGL()
{
    initializeOpenGLFunctions();
    m_bReady = m_program.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
               m_program.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) &&
               (m_program.bindAttributeLocation("position", 0), m_program.link());
    if (!m_bReady) return;
    glGenTextures(3, m_textures);
    for (unsigned t : m_textures) {
        glBindTexture(GL_TEXTURE_2D, t);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    m_contextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        Release();
        doneCurrent();
    });
}

void VideoGlSurface::Release()
{
    if (!m_bReady) return;
    glDeleteTextures(3, m_textures);
    for (int i = 0; i < 3; ++i) m_textures[i] = 0, m_texWidth[i] = m_texHeight[i] = 0;
    m_bReady = false;
}

// The planes go up as they are, rows and all: the card reads the decoder's strides.
void VideoGlSurface::Upload(const VideoFrame& f)
{
    const VideoPlanes& p = f.planes;
    m_bNv12 = p.layout == PlaneLayout::NV12;
    const int cw = (f.width + 1) / 2, ch = (f.height + 1) / 2;
    struct Plane {
        int width, height, bytesPerPixel;
        GLenum format;
    };
    const Plane planes[3] = {{f.width, f.height, 1, GL_LUMINANCE},
                             {cw, ch, m_bNv12 ? 2 : 1, GLenum(m_bNv12 ? GL_LUMINANCE_ALPHA : GL_LUMINANCE)},
                             {cw, ch, 1, GL_LUMINANCE}};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < (m_bNv12 ? 2 : 3); ++i) {
        const Plane& pl = planes[i];
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, m_textures[i]);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, p.stride[i] / pl.bytesPerPixel);
        if (m_texWidth[i] != pl.width || m_texHeight[i] != pl.height) {
            glTexImage2D(GL_TEXTURE_2D, 0, pl.format, pl.width, pl.height, 0, pl.format, GL_UNSIGNED_BYTE, p.data[i]);
            m_texWidth[i] = pl.width;
            m_texHeight[i] = pl.height;
        } else {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, pl.width, pl.height, pl.format, GL_UNSIGNED_BYTE, p.data[i]);
        }
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    ++FrameWork().uploads;
}

void VideoGlSurface::paintGL()
{
    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, int(width() * ratio), int(height() * ratio));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const std::shared_ptr<const VideoFrame> frame = m_frame;
    if (!m_bReady || !frame || !frame->planes.Present() || m_rcDestination.isEmpty()) return;
    if (m_bNewFrame) {
        Upload(*frame);
        m_bNewFrame = false;
    }
    // The zoom and the drag: the video's destination becomes the viewport, in GL's
    // bottom-up pixels.
    const QRect d = m_rcDestination;
    glViewport(int(d.x() * ratio), int((height() - d.y() - d.height()) * ratio), int(d.width() * ratio),
               int(d.height() * ratio));
    m_program.bind();
    m_program.setUniformValue("planeY", 0);
    m_program.setUniformValue("planeU", 1);
    m_program.setUniformValue("planeV", 2);
    m_program.setUniformValue("interleaved", m_bNv12 ? 1.0f : 0.0f);
    m_program.setUniformValue("matrix", ColourMatrix(frame->planes.bt709, frame->planes.fullRange));
    m_program.setUniformValue("offset", QVector3D(frame->planes.fullRange ? 0.0f : 16.0f / 255.0f, 128.0f / 255.0f,
                                                  128.0f / 255.0f));
    static const GLfloat quad[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    m_program.enableAttributeArray(0);
    m_program.setAttributeArray(0, GL_FLOAT, quad, 2);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    m_program.disableAttributeArray(0);
    m_program.release();
    glActiveTexture(GL_TEXTURE0);
}

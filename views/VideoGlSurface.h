#pragma once
// The part of a video pane that the graphics card draws: the decoder's planes go up as
// textures and a shader converts them to RGB while the card scales them into the video's
// destination. Covers only what the pane's frame shows; the pane keeps the mouse.
#include "platform/VideoWindow.h"

#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <QRect>
#include <memory>

class VideoGlSurface : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    explicit VideoGlSurface(QWidget* pane);
    ~VideoGlSurface() override;

    // The picture to draw (null: nothing); it is held until the next one comes.
    void SetFrame(std::shared_ptr<const VideoFrame> frame);
    // Where the video goes, in this surface's coordinates (may reach beyond it).
    void SetDestination(const QRect& destination);

    // Whether a GL_RENDERER string names a rasteriser that runs on the processor (Mesa's
    // llvmpipe, softpipe and classic swrast); null counts as one.
    static bool SoftwareRasteriser(const char* renderer);

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void Upload(const VideoFrame& frame);
    void Release();

    std::shared_ptr<const VideoFrame> m_frame;
    bool m_bNewFrame = false;
    QRect m_rcDestination;
    QOpenGLShaderProgram m_program;
    bool m_bReady = false;
    unsigned m_textures[3] = {0, 0, 0};
    int m_texWidth[3] = {0, 0, 0};
    int m_texHeight[3] = {0, 0, 0};
    bool m_bNv12 = false;
    QMetaObject::Connection m_contextGone;
};

#include "presentation/AnimationPreview.h"

#include <array>

using Image = PreviewIconSink::Image;

namespace {
// A shrug nods, rests, shakes and rests again.
constexpr std::array<Image, 4> ShrugCycle = {Image::Nod, Image::Normal, Image::Shake,
                                             Image::Normal};
} // namespace

AnimationPreview::AnimationPreview(PreviewIconSink& sink, int tickMs, QObject* parent)
    : QObject(parent), m_sink(sink) {
    m_timer.setInterval(tickMs);
    connect(&m_timer, &QTimer::timeout, this, &AnimationPreview::tick);
}

void AnimationPreview::start(Kind kind) {
    m_timer.stop();
    m_frame = 0;
    show(Image::Normal);
    m_kind = kind;
    tick();
    m_timer.start();
}

void AnimationPreview::stop() {
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_frame = 0;
    if (m_showing != Image::Normal)
        show(Image::Normal);
}

void AnimationPreview::tick() {
    switch (m_kind) {
    case Kind::Nod:
        show(m_showing == Image::Normal ? Image::Nod : Image::Normal);
        break;
    case Kind::Shake:
        show(m_showing == Image::Normal ? Image::Shake : Image::Normal);
        break;
    case Kind::Shrug:
        show(ShrugCycle[std::size_t(m_frame) % ShrugCycle.size()]);
        break;
    }
    if (++m_frame < Ticks)
        return;
    m_timer.stop();
    m_frame = 0;
    if (m_showing != Image::Normal)
        show(Image::Normal);
    emit finished();
}

void AnimationPreview::show(Image image) {
    m_showing = image;
    m_sink.showTrayImage(image);
}

#include "media/AudioRecorder.h"

#include "base/Localization.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

#include <gst/gst.h>

namespace {

// How long stop() waits for the muxer to write the file's index after end-of-stream.
constexpr GstClockTime finishTimeout = 5 * GST_SECOND;

bool initGStreamer()
{
    static const bool ready = [] {
        GError *error = nullptr;
        const bool ok = gst_init_check(nullptr, nullptr, &error);
        if (error)
            g_error_free(error);
        return ok;
    }();
    return ready;
}

// voaacenc is what QtMultimedia itself uses; libav's encoder is the fallback.
const char *aacEncoder()
{
    for (const char *name : { "voaacenc", "avenc_aac" }) {
        if (GstElementFactory *factory = gst_element_factory_find(name)) {
            gst_object_unref(factory);
            return name;
        }
    }
    return nullptr;
}

bool hasElement(const char *name)
{
    GstElementFactory *factory = gst_element_factory_find(name);
    if (factory)
        gst_object_unref(factory);
    return factory != nullptr;
}

QString gstCapsFormat(QAudioFormat::SampleFormat format)
{
    switch (format) {
    case QAudioFormat::UInt8:
        return QStringLiteral("U8");
    case QAudioFormat::Int16:
        return QStringLiteral("S16LE");
    case QAudioFormat::Int32:
        return QStringLiteral("S32LE");
    case QAudioFormat::Float:
        return QStringLiteral("F32LE");
    default:
        return {};
    }
}

QString messageText(GstMessage *message)
{
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    QString text = error ? QString::fromUtf8(error->message) : QString();
    if (error)
        g_error_free(error);
    g_free(debug);
    return text;
}

} // namespace

AudioRecorder::AudioRecorder(QObject *parent) : AudioRecorder(Options {}, parent) { }

AudioRecorder::AudioRecorder(Options options, QObject *parent)
    : QObject(parent), m_options(std::move(options))
{
    qRegisterMetaType<AudioRecorder::Status>();
    m_timer = new QTimer(this);
    m_timer->setInterval(m_options.tick);
    connect(m_timer, &QTimer::timeout, this, &AudioRecorder::tick);
}

AudioRecorder::~AudioRecorder()
{
    cancel();
}

bool AudioRecorder::isAvailable()
{
    if (!initGStreamer())
        return false;
    return aacEncoder() && hasElement("mp4mux") && hasElement("appsrc")
        && hasElement("audioconvert") && hasElement("audioresample");
}

QStringList AudioRecorder::soundSettingsCommand()
{
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper();
    const auto found = [](const QString &program) {
        return !QStandardPaths::findExecutable(program).isEmpty();
    };
    if (desktop.contains(u"KDE") && found(QStringLiteral("systemsettings")))
        return { QStringLiteral("systemsettings"), QStringLiteral("kcm_pulseaudio") };
    if ((desktop.contains(u"GNOME") || desktop.contains(u"UNITY"))
        && found(QStringLiteral("gnome-control-center")))
        return { QStringLiteral("gnome-control-center"), QStringLiteral("sound") };
    if (desktop.contains(u"XFCE") && found(QStringLiteral("pavucontrol")))
        return { QStringLiteral("pavucontrol") };
    return {};
}

bool AudioRecorder::openSoundSettings()
{
    QStringList command = soundSettingsCommand();
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

void AudioRecorder::setStatus(const Status &status)
{
    if (status == m_status)
        return;
    m_status = status;
    Q_EMIT statusChanged(m_status);
}

void AudioRecorder::setElapsed(double elapsed)
{
    if (elapsed == m_elapsed)
        return;
    m_elapsed = elapsed;
    Q_EMIT elapsedChanged(m_elapsed);
}

void AudioRecorder::fail(const QString &detail)
{
    cancel();
    setStatus({ Status::Kind::Failed, L("recorder.failed", detail) });
}

void AudioRecorder::start()
{
    if (m_status.kind == Status::Kind::Recording)
        return;
    setStatus({ Status::Kind::RequestingPermission, {} });
    if (m_options.permission && !m_options.permission()) {
        setStatus({ Status::Kind::Denied, {} });
        return;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull()) {
        setStatus({ Status::Kind::Failed, L("recorder.failed", L("recorder.noInput")) });
        return;
    }
    const char *encoderName = initGStreamer() ? aacEncoder() : nullptr;
    if (!encoderName || !isAvailable()) {
        setStatus({ Status::Kind::Failed, L("recorder.failed", L("recorder.noEncoder")) });
        return;
    }

    // Capture what the device gives most easily at our rate; the pipeline makes it mono.
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channelCount);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        format = device.preferredFormat();
    const QString capsFormat = gstCapsFormat(format.sampleFormat());
    if (capsFormat.isEmpty() || format.sampleRate() <= 0 || format.channelCount() <= 0) {
        setStatus({ Status::Kind::Failed, L("recorder.failed", L("recorder.deviceFailed")) });
        return;
    }

    const QString folder = m_options.folder.isEmpty() ? QDir::tempPath() : m_options.folder;
    QDir().mkpath(folder);
    m_file = QDir(folder).filePath(QStringLiteral("scrivelbar-")
                                   + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()
                                   + QStringLiteral(".m4a"));

    GstElement *pipeline = gst_pipeline_new("scrivelbar-recorder");
    GstElement *src = gst_element_factory_make("appsrc", "source");
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *resample = gst_element_factory_make("audioresample", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement *encoder = gst_element_factory_make(encoderName, nullptr);
    GstElement *muxer = gst_element_factory_make("mp4mux", nullptr);
    GstElement *sink = gst_element_factory_make("filesink", nullptr);
    if (!pipeline || !src || !convert || !resample || !filter || !encoder || !muxer || !sink) {
        for (GstElement *element : { pipeline, src, convert, resample, filter, encoder, muxer, sink })
            if (element)
                gst_object_unref(element);
        m_file.clear();
        setStatus({ Status::Kind::Failed, L("recorder.failed", L("recorder.noEncoder")) });
        return;
    }
    const QByteArray inputCaps
        = QStringLiteral("audio/x-raw,format=%1,rate=%2,channels=%3,layout=interleaved")
              .arg(capsFormat)
              .arg(format.sampleRate())
              .arg(format.channelCount())
              .toUtf8();
    GstCaps *caps = gst_caps_from_string(inputCaps.constData());
    g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, "is-live", TRUE, nullptr);
    gst_caps_unref(caps);
    GstCaps *mono = gst_caps_from_string(
        QStringLiteral("audio/x-raw,rate=%1,channels=%2").arg(sampleRate).arg(channelCount)
            .toUtf8().constData());
    g_object_set(filter, "caps", mono, nullptr);
    gst_caps_unref(mono);
    g_object_set(encoder, "bitrate", bitrate, nullptr);
    g_object_set(sink, "location", QFile::encodeName(m_file).constData(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, convert, resample, filter, encoder, muxer, sink, nullptr);
    if (!gst_element_link_many(src, convert, resample, filter, encoder, muxer, sink, nullptr)) {
        gst_object_unref(pipeline);
        m_file.clear();
        setStatus({ Status::Kind::Failed, L("recorder.failed", L("recorder.noEncoder")) });
        return;
    }
    m_pipeline = pipeline;
    m_appsrc = src;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        const QString detail = pipelineError();
        fail(detail.isEmpty() ? QStringLiteral("record() returned false") : detail);
        return;
    }

    m_format = format;
    m_frames = 0;
    m_source = std::make_unique<QAudioSource>(device, format);
    m_input = m_source->start();
    if (!m_input || m_source->error() != QAudio::NoError) {
        fail(L("recorder.deviceFailed"));
        return;
    }
    connect(m_input, &QIODevice::readyRead, this, &AudioRecorder::readAudio);
    connect(m_source.get(), &QAudioSource::stateChanged, this, [this] {
        if (m_source && m_source->error() != QAudio::NoError
            && m_status.kind == Status::Kind::Recording)
            fail(L("recorder.deviceFailed"));
    });
    m_elapsed = -1; // so that the reset below is announced
    setElapsed(0);
    setStatus({ Status::Kind::Recording, {} });
    m_timer->start();
}

void AudioRecorder::readAudio()
{
    if (!m_input || !m_appsrc)
        return;
    const QByteArray data = m_input->readAll();
    const int frameBytes = m_format.bytesPerFrame();
    if (data.isEmpty() || frameBytes <= 0)
        return;
    const qint64 frames = data.size() / frameBytes;
    GstBuffer *buffer = gst_buffer_new_allocate(nullptr, gsize(frames * frameBytes), nullptr);
    gst_buffer_fill(buffer, 0, data.constData(), gsize(frames * frameBytes));
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(m_frames), GST_SECOND, guint64(m_format.sampleRate()));
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(guint64(frames), GST_SECOND, guint64(m_format.sampleRate()));
    GstFlowReturn flow = GST_FLOW_OK;
    g_signal_emit_by_name(m_appsrc, "push-buffer", buffer, &flow);
    gst_buffer_unref(buffer);
    m_frames += frames;
    if (flow != GST_FLOW_OK && flow != GST_FLOW_FLUSHING) {
        const QString detail = pipelineError();
        fail(detail.isEmpty() ? QStringLiteral("encoder error") : detail);
    }
}

void AudioRecorder::tick()
{
    if (m_status.kind != Status::Kind::Recording)
        return;
    readAudio();
    if (m_status.kind != Status::Kind::Recording)
        return;
    if (const QString error = pipelineError(); !error.isEmpty()) {
        fail(error);
        return;
    }
    setElapsed(double(m_frames) / m_format.sampleRate());
}

QString AudioRecorder::pipelineError()
{
    if (!m_pipeline)
        return {};
    GstBus *bus = gst_element_get_bus(GST_ELEMENT(m_pipeline));
    QString text;
    while (GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        if (text.isEmpty())
            text = messageText(message);
        if (text.isEmpty())
            text = QStringLiteral("encoder error");
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    return text;
}

bool AudioRecorder::finishPipeline()
{
    if (!m_pipeline)
        return false;
    GstFlowReturn flow = GST_FLOW_OK;
    g_signal_emit_by_name(m_appsrc, "end-of-stream", &flow);
    GstBus *bus = gst_element_get_bus(GST_ELEMENT(m_pipeline));
    GstMessage *message = gst_bus_timed_pop_filtered(
        bus, finishTimeout, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool finished = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    return finished;
}

std::optional<AudioRecorder::Recording> AudioRecorder::stop()
{
    if (!m_source || m_file.isEmpty())
        return std::nullopt;
    readAudio();
    m_input = nullptr;
    m_source->stop();
    const double duration = m_format.sampleRate() > 0 ? double(m_frames) / m_format.sampleRate() : 0;
    setElapsed(duration);
    const bool finished = finishPipeline();
    const QString file = m_file;
    tearDown();
    if (finished && duration > minimumDuration && QFileInfo(file).isFile())
        return Recording { file, duration };
    QFile::remove(file);
    return std::nullopt;
}

void AudioRecorder::cancel()
{
    const QString file = m_file;
    if (m_source) {
        m_input = nullptr;
        m_source->stop();
    }
    tearDown();
    if (!file.isEmpty())
        QFile::remove(file);
}

void AudioRecorder::tearDown()
{
    m_timer->stop();
    m_input = nullptr;
    m_source.reset();
    if (m_pipeline) {
        gst_element_set_state(GST_ELEMENT(m_pipeline), GST_STATE_NULL);
        gst_object_unref(GST_OBJECT(m_pipeline));
    }
    m_pipeline = nullptr;
    m_appsrc = nullptr;
    m_file.clear();
    setStatus({ Status::Kind::Idle, {} });
}

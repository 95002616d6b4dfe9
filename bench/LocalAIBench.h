#pragma once

#include <QJsonObject>

/// The on-device engine's figures, measured the way a user meets them (through the engine the
/// app uses, pocketsphinx answering because no speech server runs): "ocr_first_ms" (with the
/// engine's start), "ocr_ms" (steady), "transcribe_ms_per_audio_s" (decoding and recognizing
/// the LibriVox recordings of pocketsphinx-testdata), "main_thread_stall_ms" (the longest the
/// main thread's event loop did not turn while they ran) and the inputs' sizes. Needs a
/// QGuiApplication (text is drawn for the OCR).
QJsonObject runLocalAIBench();

// cd.DiscAudio's native methods: a drive held open for reading its audio, and the reading
// of one track at a time. No C++ exception leaves them; failures are DiscReadExceptions.
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "AudioDrive.h"
#include "DiscFailureJava.h"
#include "DriveCache.h"
#include "DriveLock.h"
#include "DriveName.h"
#include "JavaThread.h"
#include "LayoutSearch.h"
#include "TrackReader.h"
#include "cd_DiscAudio.h"

namespace {

// The drive, held from the opening to the closing: its lock first, then the drive.
struct AudioSession {
  AudioSession(JNIEnv* env, const std::string& drive)
      : lock(DriveLock::keyOf(drive), DriveLock::kDefaultWait,
             [env] { return javaThreadInterrupted(env); }) {}

  DriveLock lock;
  std::unique_ptr<AudioDrive> drive;
  std::unique_ptr<TrackReader> reader;
  // The audio before the first track: a sector the drive can not read there fails the read,
  // as no AccurateRip checksum would show it.
  bool readingHidden = false;
  std::vector<std::uint8_t> chunk;
};

AudioSession& sessionOf(jlong handle) { return *reinterpret_cast<AudioSession*>(handle); }

jintArray javaInts(JNIEnv* env, const std::vector<jint>& values) {
  const auto size = static_cast<jsize>(values.size());
  const jintArray result = env->NewIntArray(size);
  if (result != nullptr) env->SetIntArrayRegion(result, 0, size, values.data());
  return result;
}

jint known(const std::optional<bool>& value) { return value ? (*value ? 1 : 0) : -1; }

// Starts a reading of `span`, once the disc is still the one opened; the bytes of its samples.
// `cacheKilobytes`: the caller's size of the drive's cache, or 0 for the drive's own word.
jlong startSpan(JNIEnv* env, AudioSession& session, const TrackSpan& span, jint audioLeadOut,
                jint offset, jboolean secure, jint cacheKilobytes, bool hidden) {
  if (auto changed = session.drive->checkSameDisc()) {
    throwFailure(env, *changed);
    return 0;
  }
  AudioSectors& sectors = session.drive->sectors();
  const std::uint32_t kilobytes = cacheKilobytes > 0
                                      ? static_cast<std::uint32_t>(cacheKilobytes)
                                      : estimatedCacheKilobytes(sectors.reportedBufferKilobytes());
  // An image's files read the same every time: a second read would prove nothing.
  const bool twice = secure == JNI_TRUE && !session.drive->isImage();
  const TableOfContents& toc = session.drive->toc();
  session.reader = std::make_unique<TrackReader>(
      sectors, span, audioRuns(toc, static_cast<std::uint32_t>(audioLeadOut)),
      static_cast<int>(offset), twice, cacheSectorsOf(kilobytes));
  session.readingHidden = hidden;
  session.chunk.resize(TrackReader::kMaxChunkBytes);
  return static_cast<jlong>(session.reader->samples() * kBytesPerSample);
}

void throwIllegalState(JNIEnv* env, const char* what) {
  const jclass error = env->FindClass("java/lang/IllegalStateException");
  if (error != nullptr) env->ThrowNew(error, what);
}

// Runs `call`, turning what C++ might throw into the Java exception a caller handles.
template <typename Result, typename Call>
Result guarded(JNIEnv* env, Result failed, Call call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env, "no memory left to read the disc's audio");
  } catch (...) {
    const jstring unnamed = env->NewStringUTF("");
    if (unnamed != nullptr) {
      throwDiscReadException(env, "READ_FAILED", unnamed,
                             "the disc's audio can not be read: an unexpected failure");
    }
  }
  return failed;
}

}  // namespace

JNIEXPORT jlong JNICALL Java_cd_DiscAudio_openDrive(JNIEnv* env, jclass, jstring javaName) {
  return guarded<jlong>(env, 0, [&]() -> jlong {
    const std::optional<DriveName> name = driveNameOf(env, javaName);
    if (!name) return 0;
    if (const auto* unnamed = std::get_if<DiscFailure>(&*name)) {
      throwFailure(env, *unnamed);
      return 0;
    }
    const std::string& drive = std::get<std::string>(*name);
    auto session = std::make_unique<AudioSession>(env, drive);
    if (!session->lock.held()) {
      throwFailure(env, lockFailure(session->lock, drive));
      return 0;
    }
    AudioDriveOpening opening = openAudioDrive(drive);
    if (const auto* failure = std::get_if<DiscFailure>(&opening)) {
      throwFailure(env, *failure);
      return 0;
    }
    session->drive = std::move(std::get<std::unique_ptr<AudioDrive>>(opening));
    return reinterpret_cast<jlong>(session.release());
  });
}

JNIEXPORT jintArray JNICALL Java_cd_DiscAudio_table(JNIEnv* env, jclass, jlong handle) {
  return guarded<jintArray>(env, nullptr,
                            [&] { return javaTable(env, sessionOf(handle).drive->toc()); });
}

JNIEXPORT jboolean JNICALL Java_cd_DiscAudio_readsImage(JNIEnv*, jclass, jlong handle) {
  return sessionOf(handle).drive->isImage() ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT void JNICALL Java_cd_DiscAudio_closeDrive(JNIEnv*, jclass, jlong handle) {
  delete &sessionOf(handle);
}

JNIEXPORT jlong JNICALL Java_cd_DiscAudio_startReading(JNIEnv* env, jclass, jlong handle,
                                                       jint track, jint end, jint audioLeadOut,
                                                       jint offset, jboolean secure,
                                                       jint cacheKilobytes) {
  return guarded<jlong>(env, 0, [&]() -> jlong {
    AudioSession& session = sessionOf(handle);
    session.reader.reset();
    const auto span =
        trackSpan(session.drive->toc(), static_cast<unsigned>(track),
                  static_cast<std::uint32_t>(end), static_cast<std::uint32_t>(audioLeadOut));
    if (track < 0 || end < 0 || audioLeadOut < 0 || !span) {
      throwFailure(env, DiscFailure{FailureReason::kReadFailed, session.drive->path(),
                                    session.drive->path() + ": track " + std::to_string(track) +
                                        " is no audio track of the disc"});
      return 0;
    }
    return startSpan(env, session, *span, audioLeadOut, offset, secure, cacheKilobytes, false);
  });
}

JNIEXPORT jlong JNICALL Java_cd_DiscAudio_startHiddenReading(JNIEnv* env, jclass, jlong handle,
                                                             jint audioLeadOut, jint offset,
                                                             jboolean secure, jint cacheKilobytes) {
  return guarded<jlong>(env, 0, [&]() -> jlong {
    AudioSession& session = sessionOf(handle);
    session.reader.reset();
    const TableOfContents& toc = session.drive->toc();
    const std::uint32_t first = toc.startOf(toc.firstTrack);
    if (first <= kLeadInFrames || toc.isData(toc.firstTrack) || audioLeadOut <= 0 ||
        static_cast<std::uint32_t>(audioLeadOut) > toc.leadOut) {
      throwIllegalState(env, "the disc has no audio before its first track");
      return 0;
    }
    // The first track is audio: its pregap and it are one run of audio with what follows.
    const TrackSpan span{0, first - kLeadInFrames,
                         SectorRun{0, static_cast<std::uint32_t>(audioLeadOut) - kLeadInFrames},
                         true, false};
    return startSpan(env, session, span, audioLeadOut, offset, secure, cacheKilobytes, true);
  });
}

JNIEXPORT jintArray JNICALL Java_cd_DiscAudio_readLayout(JNIEnv* env, jclass, jlong handle,
                                                         jint audioLeadOut) {
  return guarded<jintArray>(env, nullptr, [&]() -> jintArray {
    AudioSession& session = sessionOf(handle);
    session.reader.reset();
    LayoutSearch search(session.drive->subchannel(), session.drive->sectors(), session.drive->toc(),
                        static_cast<std::uint32_t>(audioLeadOut));
    auto found = search.run();
    if (const auto* failure = std::get_if<DiscFailure>(&found)) {
      throwFailure(env, *failure);
      return nullptr;
    }
    const DiscLayout& layout = std::get<DiscLayout>(found);
    std::vector<jint> values{layout.complete() ? 1 : 0, static_cast<jint>(layout.hiddenLength),
                             known(layout.hiddenAudio)};
    for (const TrackLayout& track : layout.tracks) {
      values.insert(values.end(),
                    {static_cast<jint>(track.pregapStart), static_cast<jint>(track.pregapLength),
                     track.tocControl, known(track.qPreEmphasis),
                     track.indexesKnown ? static_cast<jint>(track.indexes.size()) : -1});
      values.insert(values.end(), track.indexes.begin(), track.indexes.end());
    }
    return javaInts(env, values);
  });
}

JNIEXPORT jint JNICALL Java_cd_DiscAudio_readSamples(JNIEnv* env, jclass, jlong handle,
                                                     jbyteArray buffer) {
  return guarded<jint>(env, 0, [&]() -> jint {
    AudioSession& session = sessionOf(handle);
    if (!session.reader) {
      throwIllegalState(env, "no track is being read");
      return 0;
    }
    // An interrupted thread reads no more, of a drive or an image; its status stays set.
    if (javaThreadInterrupted(env)) {
      const std::string& path = session.drive->path();
      throwFailure(env, DiscFailure{FailureReason::kInterrupted, path,
                                    path + ": interrupted while reading the audio"});
      session.reader.reset();
      return 0;
    }
    const std::size_t room = static_cast<std::size_t>(env->GetArrayLength(buffer));
    const std::size_t capacity =
        std::min(room, session.chunk.size()) / kBytesPerSample * kBytesPerSample;
    auto read = session.reader->next(session.chunk.data(), capacity);
    if (session.readingHidden && !session.reader->unreadableSectors().empty()) {
      const std::string& path = session.drive->path();
      read = DiscFailure{FailureReason::kReadFailed, path,
                         path + ": the drive can not read sector " +
                             std::to_string(session.reader->unreadableSectors().front()) +
                             " before the first track"};
    }
    if (const auto* failure = std::get_if<DiscFailure>(&read)) {
      // The read ends with its failure: what it handed out stays, nothing more follows.
      throwFailure(env, *failure);
      session.reader.reset();
      return 0;
    }
    const auto size = static_cast<jsize>(std::get<std::size_t>(read));
    env->SetByteArrayRegion(buffer, 0, size, reinterpret_cast<const jbyte*>(session.chunk.data()));
    return size;
  });
}

JNIEXPORT jintArray JNICALL Java_cd_DiscAudio_trackResult(JNIEnv* env, jclass, jlong handle) {
  return guarded<jintArray>(env, nullptr, [&]() -> jintArray {
    const AudioSession& session = sessionOf(handle);
    if (!session.reader) {
      throwIllegalState(env, "no track has been read");
      return nullptr;
    }
    const TrackReader& reader = *session.reader;
    std::vector<jint> values{static_cast<jint>(reader.checksums().accurateRipV1()),
                             static_cast<jint>(reader.checksums().accurateRipV2()),
                             static_cast<jint>(reader.checksums().crc32()),
                             static_cast<jint>(reader.rereadSectors()),
                             reader.c2Used() ? 1 : 0,
                             reader.cacheNotPushed() ? 1 : 0};
    for (const auto* sectors :
         {&reader.unreadableSectors(), &reader.unconfirmedSectors(), &reader.c2Sectors()}) {
      values.push_back(static_cast<jint>(sectors->size()));
      values.insert(values.end(), sectors->begin(), sectors->end());
    }
    return javaInts(env, values);
  });
}

JNIEXPORT jint JNICALL Java_cd_DiscAudio_cacheKilobytes(JNIEnv* env, jclass, jlong handle) {
  return guarded<jint>(env, 0, [&] {
    AudioSectors& sectors = sessionOf(handle).drive->sectors();
    return static_cast<jint>(estimatedCacheKilobytes(sectors.reportedBufferKilobytes()));
  });
}

JNIEXPORT jboolean JNICALL Java_cd_DiscAudio_readSectors(JNIEnv* env, jclass, jlong handle,
                                                         jint lba, jint count, jbyteArray out) {
  return guarded<jboolean>(env, JNI_FALSE, [&]() -> jboolean {
    AudioSession& session = sessionOf(handle);
    const auto size = static_cast<std::size_t>(count) * kAudioFrameBytes;
    if (lba < 0 || count <= 0 || static_cast<std::size_t>(env->GetArrayLength(out)) < size) {
      throwIllegalState(env, "sectors asked outside the disc or the buffer");
      return JNI_FALSE;
    }
    std::vector<std::uint8_t> samples(size);
    const SectorsRead read = session.drive->sectors().read(
        static_cast<std::uint32_t>(lba), static_cast<std::uint32_t>(count), samples.data());
    if (read.failure) {
      throwFailure(env, *read.failure);
      return JNI_FALSE;
    }
    if (read.status != SectorsRead::Status::kRead) return JNI_FALSE;
    env->SetByteArrayRegion(out, 0, static_cast<jsize>(size),
                            reinterpret_cast<const jbyte*>(samples.data()));
    return JNI_TRUE;
  });
}

// cd.FlacOutput's native methods: libFLAC's encoder behind a handle, its file handed out in
// pieces for Java to write. No C++ exception leaves them; failures are IOExceptions.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "DiscFailureJava.h"
#include "FlacEncoder.h"
#include "cd_FlacOutput.h"

namespace {

// The encoder and the pieces it made that Java has not taken yet.
struct FlacSession {
  FlacSession(std::uint64_t samples, unsigned level) : encoder(samples, level) {}
  FlacEncoder encoder;
  std::vector<FlacEncoder::Piece> pieces;
  std::size_t taken = 0;
};

FlacSession& sessionOf(jlong handle) { return *reinterpret_cast<FlacSession*>(handle); }

void throwIOException(JNIEnv* env, const std::string& why) {
  const jclass error = env->FindClass("java/io/IOException");
  if (error != nullptr) env->ThrowNew(error, ("FLAC: " + why).c_str());
}

// Runs `call`, turning what C++ might throw into the Java exception a caller handles.
template <typename Result, typename Call>
Result guarded(JNIEnv* env, Result failed, Call call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env, "no memory left to encode FLAC");
  } catch (...) {
    throwIOException(env, "an unexpected failure");
  }
  return failed;
}

// Hands the encoder's new pieces to the session; false (an IOException pending) where it failed.
bool collect(JNIEnv* env, FlacSession& session, bool ok) {
  if (!ok) {
    throwIOException(env, session.encoder.error());
    return false;
  }
  for (auto& piece : session.encoder.takePieces()) session.pieces.push_back(std::move(piece));
  return true;
}

}  // namespace

JNIEXPORT jlong JNICALL Java_cd_FlacOutput_open(JNIEnv* env, jclass, jlong samples, jint level) {
  return guarded<jlong>(env, 0, [&]() -> jlong {
    auto session = std::make_unique<FlacSession>(static_cast<std::uint64_t>(samples),
                                                 static_cast<unsigned>(level));
    if (!collect(env, *session, !session->encoder.failed())) return 0;
    return reinterpret_cast<jlong>(session.release());
  });
}

JNIEXPORT void JNICALL Java_cd_FlacOutput_encode(JNIEnv* env, jclass, jlong handle, jbyteArray pcm,
                                                 jint length) {
  guarded<int>(env, 0, [&] {
    FlacSession& session = sessionOf(handle);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    env->GetByteArrayRegion(pcm, 0, length, reinterpret_cast<jbyte*>(bytes.data()));
    if (env->ExceptionCheck()) return 0;
    collect(env, session, session.encoder.encode(bytes.data(), bytes.size()));
    return 0;
  });
}

JNIEXPORT void JNICALL Java_cd_FlacOutput_finish(JNIEnv* env, jclass, jlong handle,
                                                 jobjectArray tags) {
  guarded<int>(env, 0, [&] {
    std::vector<std::string> comments;
    for (jsize i = 0, count = env->GetArrayLength(tags); i < count; i++) {
      const auto tag = static_cast<jbyteArray>(env->GetObjectArrayElement(tags, i));
      if (tag == nullptr) return 0;
      std::string comment(static_cast<std::size_t>(env->GetArrayLength(tag)), '\0');
      env->GetByteArrayRegion(tag, 0, static_cast<jsize>(comment.size()),
                              reinterpret_cast<jbyte*>(comment.data()));
      env->DeleteLocalRef(tag);
      comments.push_back(std::move(comment));
    }
    FlacSession& session = sessionOf(handle);
    collect(env, session, session.encoder.finish(comments));
    return 0;
  });
}

JNIEXPORT jbyteArray JNICALL Java_cd_FlacOutput_nextPiece(JNIEnv* env, jclass, jlong handle,
                                                          jlongArray offset) {
  return guarded<jbyteArray>(env, nullptr, [&]() -> jbyteArray {
    FlacSession& session = sessionOf(handle);
    if (session.taken == session.pieces.size()) {
      session.pieces.clear();
      session.taken = 0;
      return nullptr;
    }
    FlacEncoder::Piece& piece = session.pieces[session.taken++];
    const auto size = static_cast<jsize>(piece.bytes.size());
    const jbyteArray bytes = env->NewByteArray(size);
    if (bytes == nullptr) return nullptr;
    env->SetByteArrayRegion(bytes, 0, size, reinterpret_cast<const jbyte*>(piece.bytes.data()));
    const auto at = static_cast<jlong>(piece.offset);
    env->SetLongArrayRegion(offset, 0, 1, &at);
    piece.bytes = {};
    return bytes;
  });
}

JNIEXPORT void JNICALL Java_cd_FlacOutput_close(JNIEnv*, jclass, jlong handle) {
  delete &sessionOf(handle);
}

#include "DiscExtrasJava.h"

#include <vector>

namespace {

// Local references made here are few per call but a disc may hold hundreds of texts: each
// is released once it is in its array.
class LocalRef {
 public:
  LocalRef(JNIEnv* env, jobject object) : env(env), object(object) {}
  ~LocalRef() {
    if (object != nullptr) env->DeleteLocalRef(object);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  jobject get() const { return object; }

 private:
  JNIEnv* env;
  jobject object;
};

// Strings here are validated ASCII (catalog numbers, ISRCs): modified UTF-8 as they are.
jstring javaText(JNIEnv* env, const std::optional<std::string>& text) {
  return text ? env->NewStringUTF(text->c_str()) : nullptr;
}

jobject javaInteger(JNIEnv* env, int value) {
  const LocalRef integerClass(env, env->FindClass("java/lang/Integer"));
  if (integerClass.get() == nullptr) return nullptr;
  const jmethodID valueOf = env->GetStaticMethodID(static_cast<jclass>(integerClass.get()),
                                                   "valueOf", "(I)Ljava/lang/Integer;");
  if (valueOf == nullptr) return nullptr;
  return env->CallStaticObjectMethod(static_cast<jclass>(integerClass.get()), valueOf, value);
}

jbyteArray javaBytes(JNIEnv* env, const std::string& bytes) {
  const auto size = static_cast<jsize>(bytes.size());
  const jbyteArray array = env->NewByteArray(size);
  if (array != nullptr) {
    env->SetByteArrayRegion(array, 0, size, reinterpret_cast<const jbyte*>(bytes.data()));
  }
  return array;
}

// Sets each element from make(i); false where one could not be made.
template <typename Make>
bool fill(JNIEnv* env, jobjectArray array, std::size_t count, Make make) {
  for (std::size_t i = 0; i < count; ++i) {
    const LocalRef element(env, make(i));
    if (env->ExceptionCheck()) return false;
    env->SetObjectArrayElement(array, static_cast<jsize>(i), element.get());
  }
  return true;
}

jobjectArray newArray(JNIEnv* env, const char* className, std::size_t size) {
  const LocalRef elementClass(env, env->FindClass(className));
  if (elementClass.get() == nullptr) return nullptr;
  return env->NewObjectArray(static_cast<jsize>(size), static_cast<jclass>(elementClass.get()),
                             nullptr);
}

jobject javaBlock(JNIEnv* env, const CdTextBlock& block) {
  const jobjectArray fields = newArray(env, "java/lang/Object", 4);
  if (fields == nullptr) return nullptr;
  std::vector<jint> keys(2 * block.items.size());
  for (std::size_t i = 0; i < block.items.size(); ++i) {
    keys[2 * i] = block.items[i].packType;
    keys[2 * i + 1] = static_cast<jint>(block.items[i].track);
  }
  const jintArray keyArray = env->NewIntArray(static_cast<jsize>(keys.size()));
  if (keyArray == nullptr) return nullptr;
  env->SetIntArrayRegion(keyArray, 0, static_cast<jsize>(keys.size()), keys.data());
  const LocalRef keyRef(env, keyArray);
  const jobjectArray texts = newArray(env, "[B", block.items.size());
  if (texts == nullptr) return nullptr;
  const LocalRef textsRef(env, texts);
  if (!fill(env, texts, block.items.size(),
            [&](std::size_t i) { return javaBytes(env, block.items[i].bytes); })) {
    return nullptr;
  }
  const jint codes[] = {block.languageCode, block.characterCode};
  if (!fill(env, fields, 2, [&](std::size_t i) { return javaInteger(env, codes[i]); })) {
    return nullptr;
  }
  env->SetObjectArrayElement(fields, 2, keyArray);
  env->SetObjectArrayElement(fields, 3, texts);
  return fields;
}

}  // namespace

jobjectArray javaDiscWithExtras(JNIEnv* env, const DiscWithExtras& disc, jintArray table) {
  const jobjectArray reading = newArray(env, "java/lang/Object", 4);
  if (reading == nullptr) return nullptr;
  env->SetObjectArrayElement(reading, 0, table);
  const LocalRef number(env, javaText(env, disc.extras.mediaCatalogNumber));
  if (env->ExceptionCheck()) return nullptr;
  env->SetObjectArrayElement(reading, 1, number.get());

  const std::vector<std::optional<std::string>>& isrcs = disc.extras.isrcs;
  const LocalRef isrcArray(env, newArray(env, "java/lang/String", isrcs.size()));
  if (isrcArray.get() == nullptr ||
      !fill(env, static_cast<jobjectArray>(isrcArray.get()), isrcs.size(),
            [&](std::size_t i) { return javaText(env, isrcs[i]); })) {
    return nullptr;
  }
  env->SetObjectArrayElement(reading, 2, isrcArray.get());

  if (disc.extras.cdText) {
    const std::vector<CdTextBlock>& blocks = disc.extras.cdText->blocks;
    const LocalRef blockArray(env, newArray(env, "java/lang/Object", blocks.size()));
    if (blockArray.get() == nullptr ||
        !fill(env, static_cast<jobjectArray>(blockArray.get()), blocks.size(),
              [&](std::size_t i) { return javaBlock(env, blocks[i]); })) {
      return nullptr;
    }
    env->SetObjectArrayElement(reading, 3, blockArray.get());
  }
  return reading;
}

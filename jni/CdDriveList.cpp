// cd.CdDrive's native method: the machine's CD drives, four strings each. No C++ exception
// leaves it.
#include <new>

#include "DiscReader.h"
#include "PrintableText.h"
#include "cd_CdDrive.h"

JNIEXPORT jobjectArray JNICALL Java_cd_CdDrive_listDrives(JNIEnv* env, jclass) {
  try {
    const std::vector<CdDriveInfo> drives = listCdDrives();
    const jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    const jobjectArray names =
        env->NewObjectArray(static_cast<jsize>(4 * drives.size()), stringClass, nullptr);
    if (names == nullptr) return nullptr;
    jsize index = 0;
    for (const CdDriveInfo& drive : drives) {
      for (const std::string* text : {&drive.name, &drive.vendor, &drive.model, &drive.revision}) {
        const jstring name = env->NewStringUTF(printable(*text).c_str());
        if (name == nullptr) return nullptr;
        env->SetObjectArrayElement(names, index++, name);
        env->DeleteLocalRef(name);
      }
    }
    return names;
  } catch (const std::bad_alloc&) {
    const jclass error = env->FindClass("java/lang/OutOfMemoryError");
    if (error != nullptr) env->ThrowNew(error, "no memory left to list the CD drives");
  } catch (...) {
    // Nothing else is thrown on the way; should it ever be, there is no list to give.
    const jclass error = env->FindClass("java/lang/IllegalStateException");
    if (error != nullptr) env->ThrowNew(error, "the CD drives can not be listed");
  }
  return nullptr;
}

package cd;

/** Frame arithmetic of the Java side: 75 frames (sectors) a second, 588 samples each. */
final class Frames {
  static final int PER_SECOND = 75;
  static final int SAMPLES = 588;
  /** Where a disc's first track may start: after the 150 frames of the lead-in's pregap. */
  static final int LEAD_IN = 150;
  /**
   * On an Enhanced CD, the data session starts this many frames after the audio session's
   * lead-out: the audio session's lead-out area, the data session's lead-in and its pregap.
   */
  static final int SESSION_GAP = 11400;

  private Frames() {}

  /** A count of frames as a CUE sheet writes it: "mm:ss:ff", minutes past 99 as they come. */
  static String msf(long frames) {
    return twoDigits(frames / (60 * PER_SECOND)) + ":" + twoDigits(frames / PER_SECOND % 60) + ":"
        + twoDigits(frames % PER_SECOND);
  }

  /** A count of frames as a time: "m:ss.ff", the frame within its second. */
  static String time(long frames) {
    return frames / (60 * PER_SECOND) + ":" + twoDigits(frames / PER_SECOND % 60) + "."
        + twoDigits(frames % PER_SECOND);
  }

  private static String twoDigits(long value) {
    return value < 10 ? "0" + value : Long.toString(value);
  }
}

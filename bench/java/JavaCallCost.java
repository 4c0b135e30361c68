import cd.Tocmate;

/**
 * The cost of getCDDBNumbers called from Java, against a JNI call that returns a fixed text
 * of the same length: the median over batches of calls, in nanoseconds a call. Usage:
 * JavaCallCost (with TOCMATE_DRIVE naming the disc).
 */
public final class JavaCallCost {
  private static final int BATCHES = 15;
  private static final int CALLS_PER_BATCH = 5000;

  private static native String fixedText(int length);

  private interface Call {
    String run();
  }

  private static double medianNanosPerCall(Call call) {
    double[] batches = new double[BATCHES];
    for (int warmUp = 0; warmUp < 3 * CALLS_PER_BATCH; warmUp++) {
      call.run();
    }
    for (int b = 0; b < BATCHES; b++) {
      long start = System.nanoTime();
      for (int i = 0; i < CALLS_PER_BATCH; i++) {
        call.run();
      }
      batches[b] = (System.nanoTime() - start) / (double) CALLS_PER_BATCH;
    }
    java.util.Arrays.sort(batches);
    return batches[BATCHES / 2];
  }

  public static void main(String[] args) {
    System.loadLibrary("TocmateBench");
    String text = Tocmate.getCDDBNumbers();
    int length = text.length();
    double tocmate = medianNanosPerCall(Tocmate::getCDDBNumbers);
    double fixed = medianNanosPerCall(() -> fixedText(length));
    System.out.printf(
        "%d tracks (%d characters): getCDDBNumbers %.0f ns, fixed text %.0f ns, ratio %.1f%n",
        Integer.parseInt(text.split(" ")[1]), length, tocmate, fixed, tocmate / fixed);
  }
}

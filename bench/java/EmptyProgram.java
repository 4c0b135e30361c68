/** The baseline of a whole process: a JVM that starts, prints one line and ends. */
public final class EmptyProgram {
  public static void main(String[] args) {
    System.out.println("started");
  }
}

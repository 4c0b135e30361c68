import cd.Disc;

/**
 * A fresh JVM's first disc ID: one Disc.read of the drive and its MusicBrainz ID. Prints the
 * ID and the microseconds from the start of main to the ID. Usage: FirstDiscId DRIVE
 */
public final class FirstDiscId {
  public static void main(String[] args) throws Exception {
    long start = System.nanoTime();
    String id = Disc.read(args[0]).getMusicBrainzId();
    long micros = (System.nanoTime() - start) / 1000;
    System.out.println(id + " " + micros);
  }
}

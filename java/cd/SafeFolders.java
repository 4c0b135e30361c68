package cd;

import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.attribute.AclFileAttributeView;
import java.nio.file.attribute.UserPrincipal;
import java.util.Locale;
import java.util.Map;

/**
 * Tells which folders and files are this user's, and whether a folder is one no other user can
 * change what is loaded from it. On POSIX systems that is every folder from it up to the root
 * being this user's or root's and not writable by group or others, unless sticky (as /tmp):
 * only the owners of a sticky folder's entries, of the folder and root may rename them. Where
 * there are no POSIX modes (Windows), the access lists say it ({@link WindowsAcl}): the folders
 * the loader makes must be this user's, and no folder up to the root may be changed by others.
 */
final class SafeFolders {
  // The systems whose files have a "unix" view: all but Windows.
  static final boolean POSIX = File.separatorChar == '/';
  private static final int ROOT = 0;
  private static final int STICKY = 01000;
  private static final int WRITABLE_BY_OTHERS = 0022;

  private final int uid; // on POSIX systems
  private final UserPrincipal user; // elsewhere

  private SafeFolders(int uid, UserPrincipal user) {
    this.uid = uid;
    this.user = user;
  }

  /**
   * This user, as the process's own /proc entry tells, or as the owner of a file made for the
   * purpose in the folder, which must be writable.
   */
  static SafeFolders forThisUser(Path folder) throws IOException {
    if (POSIX) {
      Path process = Paths.get("/proc/self");
      if (Files.isDirectory(process)) {
        return new SafeFolders((Integer) Files.getAttribute(process, "unix:uid"), null);
      }
    }
    Path probe = CachedCopy.createUnique(folder, ".owner");
    try {
      return POSIX ? new SafeFolders(uidOf(probe), null)
                   : new SafeFolders(-1, Files.getOwner(probe, LinkOption.NOFOLLOW_LINKS));
    } finally {
      Files.deleteIfExists(probe);
    }
  }

  /**
   * The name of this user's folder in a folder all users share: the prefix, a dot and the
   * user's name in lower-case letters and digits, or where it has none, the uid (on Windows a
   * hash of the name), so that users without such names do not meet in one folder.
   */
  String ownFolderName(String prefix) {
    String name = System.getProperty("user.name", "");
    String kept = NativeLibrary.lettersAndDigits(name.toLowerCase(Locale.ROOT));
    if (!kept.isEmpty()) {
      return prefix + "." + kept;
    }
    return prefix + "." + (POSIX ? "uid-" + uid : "user-" + Integer.toHexString(name.hashCode()));
  }

  /** Whether the entry itself (not what a link names) is this user's. */
  boolean owns(Path entry) throws IOException {
    return POSIX ? uidOf(entry) == uid
                 : Files.getOwner(entry, LinkOption.NOFOLLOW_LINKS).equals(user);
  }

  private static int uidOf(Path entry) throws IOException {
    return (Integer) Files.getAttribute(entry, "unix:uid", LinkOption.NOFOLLOW_LINKS);
  }

  /**
   * Whether a file's owner and mode (on Windows its access list), as read from an opened file,
   * keep others from writing it.
   */
  boolean ownsUnwritableByOthers(Path file) throws IOException {
    if (!POSIX) {
      AclFileAttributeView view = Files.getFileAttributeView(file, AclFileAttributeView.class);
      return view.getOwner().equals(user)
          && WindowsAcl.whyUnsafe(view.getAcl(), user, true) == null;
    }
    Map<String, Object> attributes = Files.readAttributes(file, "unix:uid,mode");
    return (Integer) attributes.get("uid") == uid
        && ((Integer) attributes.get("mode") & WRITABLE_BY_OTHERS) == 0;
  }

  /**
   * Throws, naming the folder refused and why, unless no other user can change what is in the
   * folder (as resolved, its links followed) or in any folder above it.
   */
  Path check(Path folder) throws IOException {
    Path real = folder.toRealPath();
    for (Path current = real; current != null; current = current.getParent()) {
      checkOne(current, false);
    }
    return real;
  }

  /**
   * As {@link #check}, for a folder that the loader makes and loads from, not a link, made in
   * the folder checked (its real path): only the folder itself is left to check. Returns its
   * real path.
   */
  Path checkBelow(Path checked, Path folder) throws IOException {
    Path real = checked.resolve(folder.getFileName());
    checkOne(real, true);
    return real;
  }

  /** Checks one folder; the loader's own (made) must be this user's alone. */
  private void checkOne(Path folder, boolean made) throws IOException {
    if (!POSIX) {
      AclFileAttributeView view =
          Files.getFileAttributeView(folder, AclFileAttributeView.class, LinkOption.NOFOLLOW_LINKS);
      UserPrincipal owner = view.getOwner();
      if (made ? !owner.equals(user) : !WindowsAcl.trusted(owner, user)) {
        throw new IOException(
            "refused " + folder + ": it belongs to another user (" + owner.getName() + ")");
      }
      String unsafe = WindowsAcl.whyUnsafe(view.getAcl(), user, made);
      if (unsafe != null) {
        throw new IOException("refused " + folder + ": " + unsafe);
      }
      return;
    }
    Map<String, Object> attributes =
        Files.readAttributes(folder, "unix:uid,mode", LinkOption.NOFOLLOW_LINKS);
    int owner = (Integer) attributes.get("uid");
    int mode = (Integer) attributes.get("mode");
    if (owner != uid && owner != ROOT) {
      throw new IOException(
          "refused " + folder + ": it belongs to another user (uid " + owner + ")");
    }
    // In a sticky folder only an entry's owner (the folder below: this user or root), the
    // folder's owner and root may rename the entry.
    if ((mode & WRITABLE_BY_OTHERS) != 0 && (mode & STICKY) == 0) {
      throw new IOException("refused " + folder + ": other users can write to it (mode "
          + Integer.toOctalString(mode & 07777) + ")");
    }
  }
}

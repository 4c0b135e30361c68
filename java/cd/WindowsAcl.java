package cd;

import static java.nio.file.attribute.AclEntryPermission.APPEND_DATA;
import static java.nio.file.attribute.AclEntryPermission.DELETE;
import static java.nio.file.attribute.AclEntryPermission.DELETE_CHILD;
import static java.nio.file.attribute.AclEntryPermission.WRITE_ACL;
import static java.nio.file.attribute.AclEntryPermission.WRITE_ATTRIBUTES;
import static java.nio.file.attribute.AclEntryPermission.WRITE_DATA;
import static java.nio.file.attribute.AclEntryPermission.WRITE_NAMED_ATTRS;
import static java.nio.file.attribute.AclEntryPermission.WRITE_OWNER;

import java.nio.file.attribute.AclEntry;
import java.nio.file.attribute.AclEntryFlag;
import java.nio.file.attribute.AclEntryPermission;
import java.nio.file.attribute.AclEntryType;
import java.nio.file.attribute.GroupPrincipal;
import java.nio.file.attribute.UserPrincipal;
import java.util.EnumSet;
import java.util.List;
import java.util.Set;

/**
 * Whom a Windows access list lets change a folder or file, in the place of the POSIX modes'
 * group and other write. Trusted are the user, and the system's own principals, which can
 * change anything anyway: SYSTEM, the Administrators, TrustedInstaller, and CREATOR OWNER,
 * which stands for whoever makes an entry inside (the user, in the loader's folders, as no
 * other may make one there).
 *
 * <p>Only entries that allow count: one that denies only takes rights away, and leaving it out
 * errs on the safe side. On every folder up to the root, no other principal may delete or
 * rename it or what is in it, nor change its access list or owner; adding entries is allowed,
 * as a sticky folder allows it on POSIX systems ({@code C:\} lets every user make folders).
 * On the loader's own folders and on the copy, no other principal may write or add anything
 * either, and entries that apply only to what is made inside count too: they would apply to
 * the copy and the folder it is written to.
 */
final class WindowsAcl {
  private static final Set<AclEntryPermission> CHANGING =
      EnumSet.of(DELETE, DELETE_CHILD, WRITE_ACL, WRITE_OWNER);
  private static final Set<AclEntryPermission> WRITING = EnumSet.of(DELETE, DELETE_CHILD, WRITE_ACL,
      WRITE_OWNER, WRITE_DATA, APPEND_DATA, WRITE_ATTRIBUTES, WRITE_NAMED_ATTRS);
  // SYSTEM, the Administrators, TrustedInstaller, CREATOR OWNER.
  private static final String[] TRUSTED_SIDS = {"S-1-5-18", "S-1-5-32-544",
      "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", "S-1-3-0"};

  private WindowsAcl() {}

  /**
   * Why the access list lets another principal change the entry, or null if it does not; made
   * for the loader's own folders and the copy.
   */
  static String whyUnsafe(List<AclEntry> acl, UserPrincipal user, boolean made) {
    if (acl.isEmpty()) {
      // Java gives no entries for a null list too, which lets everyone do anything.
      return "it has no access list to tell who may change it";
    }
    for (AclEntry entry : acl) {
      if (entry.type() != AclEntryType.ALLOW || trusted(entry.principal(), user)
          || !made && entry.flags().contains(AclEntryFlag.INHERIT_ONLY)) {
        continue;
      }
      for (AclEntryPermission permission : entry.permissions()) {
        if ((made ? WRITING : CHANGING).contains(permission)) {
          return "its access list lets " + entry.principal().getName() + " change it (" + permission
              + ")";
        }
      }
    }
    return null;
  }

  /**
   * Whether the principal is the user or one of the system's own. Java names principals by
   * their account names, which Windows translates (BUILTIN\Administrators is
   * VORDEFINIERT\Administratoren in German), and tells them apart by their SIDs: its hash
   * code is that of the SID's text, and the name is that text where Windows has no name for
   * it. The system's principals are groups, never users.
   */
  static boolean trusted(UserPrincipal principal, UserPrincipal user) {
    if (principal.equals(user)) {
      return true;
    }
    for (String sid : TRUSTED_SIDS) {
      if (principal.getName().equals(sid)
          || principal instanceof GroupPrincipal && principal.hashCode() == sid.hashCode()) {
        return true;
      }
    }
    return false;
  }
}

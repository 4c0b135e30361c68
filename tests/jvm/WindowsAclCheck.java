package cd;

import static java.nio.file.attribute.AclEntryFlag.DIRECTORY_INHERIT;
import static java.nio.file.attribute.AclEntryFlag.FILE_INHERIT;
import static java.nio.file.attribute.AclEntryFlag.INHERIT_ONLY;
import static java.nio.file.attribute.AclEntryPermission.APPEND_DATA;
import static java.nio.file.attribute.AclEntryPermission.DELETE;
import static java.nio.file.attribute.AclEntryPermission.DELETE_CHILD;
import static java.nio.file.attribute.AclEntryPermission.EXECUTE;
import static java.nio.file.attribute.AclEntryPermission.READ_ATTRIBUTES;
import static java.nio.file.attribute.AclEntryPermission.READ_DATA;
import static java.nio.file.attribute.AclEntryPermission.WRITE_ACL;
import static java.nio.file.attribute.AclEntryPermission.WRITE_ATTRIBUTES;
import static java.nio.file.attribute.AclEntryPermission.WRITE_DATA;
import static java.nio.file.attribute.AclEntryPermission.WRITE_OWNER;
import static java.nio.file.attribute.AclEntryType.ALLOW;
import static java.nio.file.attribute.AclEntryType.DENY;

import java.nio.file.attribute.AclEntry;
import java.nio.file.attribute.AclEntryFlag;
import java.nio.file.attribute.AclEntryPermission;
import java.nio.file.attribute.AclEntryType;
import java.nio.file.attribute.GroupPrincipal;
import java.nio.file.attribute.UserPrincipal;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.EnumSet;
import java.util.List;

/**
 * The loader's rule over Windows access lists, on lists as Windows gives them for typical
 * folders: which principal each refuses, for a folder above the loader's and for one of the
 * loader's own. Principals behave as the JDK's Windows ones do: equal and hashed by their SID,
 * named by a translated account name. Prints each wrong answer; exits with 1 on any.
 */
public final class WindowsAclCheck {
  /** A principal as Windows gives it: equal by SID, hashed as the SID's text. */
  private static class Principal implements UserPrincipal {
    final String sid;
    final String name;

    Principal(String sid, String name) {
      this.sid = sid;
      this.name = name;
    }

    @Override
    public String getName() {
      return name;
    }

    @Override
    public boolean equals(Object other) {
      return other instanceof Principal && ((Principal) other).sid.equals(sid);
    }

    @Override
    public int hashCode() {
      return sid.hashCode();
    }
  }

  private static final class Group extends Principal implements GroupPrincipal {
    Group(String sid, String name) {
      super(sid, name);
    }
  }

  private static final Principal ALICE = new Principal("S-1-5-21-1-2-3-1001", "PC\\alice");
  private static final Principal BOB = new Principal("S-1-5-21-1-2-3-1002", "PC\\bob");
  // The system's own, as a German Windows names them, and one it could not name.
  private static final Principal SYSTEM = new Group("S-1-5-18", "NT-AUTORIT\u00c4T\\SYSTEM");
  private static final Principal ADMINISTRATORS =
      new Group("S-1-5-32-544", "VORDEFINIERT\\Administratoren");
  private static final Principal UNNAMED_ADMINISTRATORS =
      new Principal("S-1-5-32-544", "S-1-5-32-544");
  private static final Principal CREATOR_OWNER = new Group("S-1-3-0", "ERSTELLER-BESITZER");
  private static final Principal USERS =
      new Group("S-1-5-11", "NT-AUTORIT\u00c4T\\Authentifizierte Benutzer");
  private static final Principal EVERYONE = new Group("S-1-1-0", "Jeder");
  // A user named as the Administrators are: a name proves nothing.
  private static final Principal NAMED_LIKE_ADMINISTRATORS =
      new Principal("S-1-5-21-1-2-3-1003", "VORDEFINIERT\\Administratoren");

  private static final EnumSet<AclEntryPermission> READ =
      EnumSet.of(READ_DATA, READ_ATTRIBUTES, EXECUTE);
  private static final EnumSet<AclEntryPermission> FULL = EnumSet.allOf(AclEntryPermission.class);
  // Windows' "Modify": read, write, execute and delete.
  private static final EnumSet<AclEntryPermission> MODIFY = EnumSet.of(
      READ_DATA, READ_ATTRIBUTES, EXECUTE, WRITE_DATA, APPEND_DATA, WRITE_ATTRIBUTES, DELETE);
  private static final EnumSet<AclEntryFlag> INHERITED =
      EnumSet.of(FILE_INHERIT, DIRECTORY_INHERIT);
  private static final EnumSet<AclEntryFlag> BELOW_ONLY =
      EnumSet.of(FILE_INHERIT, DIRECTORY_INHERIT, INHERIT_ONLY);
  private static final EnumSet<AclEntryFlag> NONE = EnumSet.noneOf(AclEntryFlag.class);

  private static AclEntry entry(AclEntryType type, Principal principal,
      EnumSet<AclEntryPermission> permissions, EnumSet<AclEntryFlag> flags) {
    return AclEntry.newBuilder()
        .setType(type)
        .setPrincipal(principal)
        .setPermissions(permissions)
        .setFlags(flags)
        .build();
  }

  private static AclEntry allow(
      Principal principal, EnumSet<AclEntryPermission> permissions, EnumSet<AclEntryFlag> flags) {
    return entry(ALLOW, principal, permissions, flags);
  }

  // The user's own profile folders: the user, SYSTEM and the Administrators, in full.
  private static final List<AclEntry> PROFILE = Arrays.asList(allow(ALICE, FULL, INHERITED),
      allow(SYSTEM, FULL, INHERITED), allow(ADMINISTRATORS, FULL, INHERITED));

  private static List<AclEntry> profileAnd(AclEntry... more) {
    List<AclEntry> acl = new ArrayList<>(PROFILE);
    acl.addAll(Arrays.asList(more));
    return acl;
  }

  // NAME, LIST, WHOM ABOVE THE LOADER'S FOLDERS, WHOM AS ONE OF THEM (null: none refused)
  private static final Object[][] CASES = {
      {"a profile folder", PROFILE, null, null},
      {"read by everyone", profileAnd(allow(EVERYONE, READ, INHERITED)), null, null},
      // C:\ lets every user make folders and gives their makers (CREATOR OWNER) all of them.
      {"C:\\",
          Arrays.asList(allow(SYSTEM, FULL, INHERITED), allow(ADMINISTRATORS, FULL, INHERITED),
              allow(USERS, EnumSet.of(APPEND_DATA), NONE), allow(USERS, MODIFY, BELOW_ONLY),
              allow(CREATOR_OWNER, FULL, BELOW_ONLY)),
          null, USERS},
      // A folder made in C:\, such as C:\tmp, inherits Modify for every user.
      {"C:\\tmp",
          Arrays.asList(allow(SYSTEM, FULL, INHERITED), allow(ADMINISTRATORS, FULL, INHERITED),
              allow(USERS, MODIFY, INHERITED), allow(CREATOR_OWNER, FULL, BELOW_ONLY)),
          USERS, USERS},
      {"writable by another user", profileAnd(allow(BOB, EnumSet.of(WRITE_DATA), NONE)), null, BOB},
      {"its access list changeable", profileAnd(allow(BOB, EnumSet.of(WRITE_ACL), NONE)), BOB, BOB},
      {"its owner changeable", profileAnd(allow(EVERYONE, EnumSet.of(WRITE_OWNER), NONE)), EVERYONE,
          EVERYONE},
      {"its entries removable", profileAnd(allow(BOB, EnumSet.of(DELETE_CHILD), NONE)), BOB, BOB},
      {"its attributes changeable", profileAnd(allow(BOB, EnumSet.of(WRITE_ATTRIBUTES), NONE)),
          null, BOB},
      {"another's rights on what is made inside",
          profileAnd(allow(BOB, EnumSet.of(WRITE_DATA), BELOW_ONLY)), null, BOB},
      {"denied to everyone", profileAnd(entry(DENY, EVERYONE, FULL, INHERITED)), null, null},
      {"the Administrators unnamed",
          Arrays.asList(
              allow(ALICE, FULL, INHERITED), allow(UNNAMED_ADMINISTRATORS, FULL, INHERITED)),
          null, null},
      {"a user named as the Administrators",
          profileAnd(allow(NAMED_LIKE_ADMINISTRATORS, FULL, INHERITED)), NAMED_LIKE_ADMINISTRATORS,
          NAMED_LIKE_ADMINISTRATORS},
      // Java gives a null list, which lets everyone in, as no entries.
      {"no list", Collections.<AclEntry>emptyList(), "no access list", "no access list"},
  };

  public static void main(String[] args) {
    int wrong = 0;
    for (Object[] row : CASES) {
      @SuppressWarnings("unchecked") List<AclEntry> acl = (List<AclEntry>) row[1];
      for (int made = 0; made < 2; made++) {
        Object expected = row[2 + made];
        String got = WindowsAcl.whyUnsafe(acl, ALICE, made == 1);
        String needed = expected instanceof Principal ? " " + ((Principal) expected).getName() + " "
                                                      : (String) expected;
        boolean right = expected == null ? got == null : got != null && got.contains(needed);
        if (!right) {
          System.out.println(row[0] + (made == 1 ? ", the loader's folder" : ", above it")
              + ": got " + got + ", expected "
              + (expected == null ? "none refused" : needed.trim()));
          wrong++;
        }
      }
    }
    System.out.println(wrong == 0 ? "ok: " + CASES.length + " access lists" : wrong + " wrong");
    System.exit(wrong == 0 ? 0 : 1);
  }
}

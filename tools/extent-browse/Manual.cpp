#include "Manual.h"

const char kManual[] = R"(Usage: extent-browse [OPTIONS] [COMMAND [ARGS...]]

Looks up the extents of one backed-up item in a backup index, the way a
restore does. The index is an in-process stand-in loaded from a catalogue
file. With a COMMAND, runs that one command; without, reads commands from
standard input, one per line ('#' comments and blank lines are skipped).

Commands (one output line per answer):
  lookup N...     N found AFILEID AFILEVALUE | N not-found | N browse-failed
  empty N...      N empty | N not-empty  (from what is known; never browses)
  enum            every extent in ascending order: N empty | N not-empty,
                  or the single line "enum browse-failed"
  save [FILE]     writes the extent-info cache to FILE (default: --cache)
  name N          the index name of extent N for the item's naming scheme
  number NAME     the extent number a name stands for
  stats           the library's counter table and the browse requests made
  demo            a narrated session on the bundled sample index
  help            this manual

Item and browser:
  --index FILE            catalogue (default: the bundled sample)
  --path PATH             the item (default: the catalogue's only item)
  --app-type N            application type: 0 file system, 106 virtual
                          machine, 53 or 81 database (default 0)
  --page-size N           extents asked for per browse (default 1000)
  --name-length N         digits of a base32 extent name (default 13)
  --copy-precedence N     copy to browse (default 0)
  --ma NAME               media agent that serves the browse (default none)
  --backup-set-guid GUID  names the backup set in every request
  --range-start N         look up through extent-range requests from N
  --cache FILE            seed the browser from FILE when it exists; save
                          the extent map to FILE at exit (atomically)
  --log-level N           library log lines on stderr up to level N (default 0)

Index service:
  --protocol v1|v2        browse protocol (default v2)
  --browse-host NAME      V1 browse host when --ma is not given
  --local-client NAME     this process's client name: browses whose host is
                          NAME are answered in process
  --response-items N      extents per response message (default 100)
  --service-thread        deliver responses on the service's own thread

Faults:
  --fail-init             the browse client fails to initialise
  --fail-browse           every browse fails before delivering anything
  --error-code C          every page is answered by a response with error C

Catalogue lines (tab-separated; '#' comments and blank lines skipped):
  PATH  EXTENT  AFILEID  AFILEVALUE  EMPTY(0|1)  [NAME]
NAME defaults to the base32 name of EXTENT at --name-length digits.

Exit status: 0 every command ran (not-found is an answer); 1 some answer
was browse-failed; 2 a usage error, a bad catalogue or an unreadable file.
)";

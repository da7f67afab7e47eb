"""What the Python tests and benchmarks of more than one folder share: the
card run under Wine on a private Xvfb display and read through probe.exe
(harness, with the design tables in design), the card's fake feed and place
search servers (fake_servers), the feed service's stand-in for Open-Meteo
(stub_upstream), cloudwick-feed.exe's own Wine machine and raw HTTP
exchanges (feed_wine), a network namespace of a test's own (netns), waiting
for a state (waiting) and a reader of Windows exe files (pe_file).

The repository's root is the import root (`from tests.support import
harness`): CTest puts it on PYTHONPATH, and a script run by hand runs from
the root (`python3 -m bench.exe_size`, or `PYTHONPATH=$PWD` before a path)."""

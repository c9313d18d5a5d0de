#!/usr/bin/env python3
# A mutation round: plausible faults put into the code one at a time; for each, the build and the
# tests that should notice it run, and the code is put back. A mutant the tests do not notice is
# a fault they would let through. It edits the source tree in place while it runs: run it on a
# clean tree, with a configured build.
# usage: python3 scripts/mutants.py [BUILD_DIR] [ID...]   (BUILD_DIR: build/)
import subprocess, sys, os, time
tree = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
args = sys.argv[1:]
build = os.path.abspath(args.pop(0)) if args and os.path.isdir(args[0]) else os.path.join(tree, "build")
only = set(args)
# (name, file, text, the text mutated, ctest -R of the tests that must fail)
M = [
 ("L1", "link/board_ops.cpp", "    if (bad < 0)\n        return false;", "    if (bad <= 0)\n        return false;", "tst_board_ops"),
 ("L2", "link/board_ops.cpp", "block == 0 ? Work::None : Work::Program", "block == 0 ? Work::Program : Work::None", "tst_board_ops|tst_board_pty"),
 ("L3", "link/board_ops_read.cpp", "if (row % 2 == 0 && column == image::kBytesPerRow)", "if (row % 2 == 1 && column == image::kBytesPerRow)", "tst_board_ops"),
 ("L4", "link/serial_link.cpp", "lineFeedDue_ = end != std::string::npos && end + 1 == more.size() && more[end] == '\\r';", "lineFeedDue_ = false;", "tst_board_ops|tst_board_pty"),
 ("L5", "link/reply_limits.cpp", "std::max(scale, 0.01)", "std::max(scale, 1.0)", "tst_board_ops|tst_board_pty"),
 ("L6", "link/port_advice.cpp", "return (device.mode & 060) == 060;", "return (device.mode & 040) == 040;", "tst_port_advice"),
 ("L7", "link/serial_link.cpp", "if (received.size() >= wanted ||", "if (received.size() > wanted ||", "tst_board_ops|tst_board_pty"),
 ("I1", "image/hex_file.cpp", "if ((sum & 0xFF) != 0) {", "if ((sum & 0xFF) == 0xFF) {", "test_image"),
 ("I2", "image/hex_file.cpp", "& 255u) + 1u;", "& 255u);", "test_image|tst_workflow|tst_window"),
 ("C1", "cli/options.cpp", "o->timeoutScale <= 100", "o->timeoutScale < 100", "tst_cli"),
 ("C2", "cli/main.cpp", "worst = std::max(worst, link::exitCode(r.result));", "worst = link::exitCode(r.result);", "tst_cli"),
 ("C3", "cli/main.cpp", "if (o.command == Command::Read && boards->size() > 1)", "if (o.command == Command::Read && boards->size() > 2)", "tst_cli"),
 ("C4", "cli/board_job.cpp", "if (o.steps[std::size_t(i)] && !step(ops, kinds[i], auto_[i]))\n            return false;", "if (o.steps[std::size_t(i)])\n            step(ops, kinds[i], auto_[i]);", "tst_cli"),
 ("P1", "platform/stop_signals_posix.cpp", "            ::unlink(held.path);\n    ::signal", "            (void)held.path;\n    ::signal", "tst_cli_faults"),
 ("S1", "station/store.cpp", "q.addBindValue(programmed ? \"programmed\" : \"failed\");", "q.addBindValue(\"programmed\");", "pg_cluster|tst_serial_store"),
 ("S2", "station/serial_step.cpp", "plan_.address + width > session.deviceSize", "plan_.address + width >= session.deviceSize", "pg_cluster|tst_serial_store"),
 ("S3", "station/store.cpp", "    Reason reason = takeStatements(q, plan, Taker{station_, user_, port, now()}, serial);\n    q.finish();\n    if (!reason)\n        reason = commit();", "    Reason reason = takeStatements(q, plan, Taker{station_, user_, port, now()}, serial);\n    q.finish();\n    if (!reason)\n        rollback();", "pg_cluster|tst_serial_store"),
 ("O1", "link/outcome.cpp", "case Result::BadImage: return 3;", "case Result::BadImage: return 4;", "tst_cli|tst_board_ops"),
 ("C5", "cli/main.cpp", "    if (storeFailed)\n        worst = std::max(worst, link::exitCode(link::Result::StoreError));", "", "pg_cluster|tst_serial_store|tst_cli"),
 ("A1", "app/main_window_board.cpp", "        if (step(Lockchk))\n            Lock_Click();", "        if (ticked(Lockchk))\n            Lock_Click();", "tst_workflow|tst_window"),
]
env = dict(os.environ)
for mid, f, old, new, tests in M:
    if only and mid not in only:
        continue
    path = os.path.join(tree, f)
    src = open(path).read()
    if src.count(old) != 1:
        print(f"{mid}: SKIP ({f}: found {src.count(old)} times)", flush=True); continue
    open(path, "w").write(src.replace(old, new))
    t0 = time.time()
    try:
        b = subprocess.run(["nice", "-n", "10", "cmake", "--build", build, "-j2"], env=env, capture_output=True, text=True)
        if b.returncode != 0:
            print(f"{mid}: BUILD FAILED\n{b.stdout[-1500:]}", flush=True); continue
        r = subprocess.run(["ctest", "--test-dir", build, "-R", tests, "--timeout", "300"], capture_output=True, text=True)
        failed = [l.strip() for l in r.stdout.splitlines() if "***" in l or "Failed" in l and " - " in l]
        verdict = "KILLED" if r.returncode != 0 else "SURVIVED"
        print(f"{mid}: {verdict} ({f}: {new.strip()[:60]!r}) {int(time.time()-t0)} s {failed[:3]}", flush=True)
    finally:
        open(path, "w").write(src)
subprocess.run(["cmake", "--build", build, "-j2"], env=env, capture_output=True) # the unmutated build back

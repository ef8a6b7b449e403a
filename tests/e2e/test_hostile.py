"""A hostile machine: another run at the same time, closed standard streams, links at the
temporary names, a document that cannot be replaced, a file that never answers, memory that
runs out, threads and file descriptors the system does not give. Each is built with the
system's own means. The three documents are always the complete output of one run: a run
that cannot finish says so and leaves those of the last good run exactly as they were, with
nothing of its own beside them."""

import os
import pwd
import resource
import signal
import subprocess
import unittest

from omvo_e2e import WINDOWS, SandboxTest, cp866, failure_report
from test_faults import gpx, trip_list, write_long_archive

FAILING_ALLOCATION = os.environ.get("OMVO_FAILING_ALLOCATION", "")
SANITIZED = os.environ.get("OMVO_SANITIZED", "0") == "1"
DOCUMENTS = ["omvo-covering.kml", "omvo-covering_far.kml", "omvo-covering_klg.kml"]
FOOTER = b"</Folder>\r\n</Document>\r\n</kml>\r\n"
OUT_OF_MEMORY = failure_report("Out of memory").replace(b"EInOutError", b"EOutOfMemory")


class Hostile(SandboxTest):
    def setUp(self):
        super().setUp()
        self.cleanups = []

    def tearDown(self):
        for cleanup in reversed(self.cleanups):
            cleanup()
        super().tearDown()

    def archive(self, trips, points=5):
        """A trip list of `trips` trips, each with its track of `points` points."""
        self.box.settings()
        self.box.write("list.txt", trip_list(trips))
        for i in range(trips):
            self.box.write("gpx/ab%03dtr.gpx" % i, gpx(points))

    def long_archive(self, trips=60, points=50000):
        self.box.settings()
        write_long_archive(self.box, trips, points)

    def documents(self):
        return self.box.files("kml")

    def good_run(self):
        """Runs the tool as it should run; returns its console output and documents."""
        result = self.box.run()
        self.assertEqual((result.code, result.err), (0, b""))
        documents = self.documents()
        self.assertEqual(sorted(documents), DOCUMENTS)
        return result.out, documents

    def assert_documents(self, expected):
        """The folder holds exactly these documents: nothing of a run beside them."""
        self.assertEqual(self.documents(), expected)

    def start(self, **popen):
        """Starts a run and waits until its first trip is written."""
        process = subprocess.Popen(self.box.command(), cwd=self.box.dir, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, **popen)
        self.cleanups.append(lambda: (process.poll() is None and process.kill(), process.wait(),
                                      process.stdout.close(), process.stderr.close()))
        first = process.stdout.readline()
        self.assertTrue(first.endswith(cp866("Сохранение... ok.") + b"\r\n"), first)
        return process

    def test_a_second_run_on_the_same_documents_is_refused(self):
        self.long_archive()
        kml = (self.box.path("kml") + "/").encode()
        first = self.start()
        second = self.box.run()
        self.assertEqual((second.code, second.out), (1, b""))
        self.assertEqual(second.err, b"omvo-covering: " + b", ".join(
            kml + name for name in (b"omvo-covering.kml", b"omvo-covering_klg.kml",
                                    b"omvo-covering_far.kml")) +
            b" cannot be written now: another run holds the lock on their folder " + kml +
            b"; nothing was changed\r\n")
        _, err = first.communicate(timeout=120)
        self.assertEqual((first.returncode, err), (0, b""))
        completed = self.documents()
        self.assertEqual(sorted(completed), DOCUMENTS)
        self.assertEqual(completed["omvo-covering.kml"].count(b"<Placemark>"), 60)
        self.assertTrue(completed["omvo-covering.kml"].endswith(FOOTER))

        with self.subTest("a run killed outright leaves no lock behind"):
            killed = self.start()
            killed.kill()
            killed.wait()
            self.assertNotEqual(sorted(self.documents()), DOCUMENTS)  # its .tmp files stay
            self.good_run()  # and the next run removes them

    def test_closed_standard_streams_are_not_written_into_a_document(self):
        if WINDOWS:
            self.skipTest("Wine gives a program started without a stream a handle of its own")
        self.archive(3)
        self.box.write("gpx/ab001tr.gpx", gpx(5).replace('lat="54.500001"', 'lat="x"'))
        result = self.box.run()
        self.assertIn(b"ab001tr.gpx", result.err)  # the bad point: a warning
        expected = self.documents()
        for closed in (0, 1, 2):
            with self.subTest(closed=closed):
                os.remove(self.box.path("kml/omvo-covering.kml"))  # a run must write it anew
                result = self.box.run(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL,
                                      preexec_fn=lambda fd=closed: os.close(fd))
                self.assertEqual(result.code, 0)
                self.assert_documents(expected)

    def test_links_at_the_temporary_names_are_never_written_through(self):
        self.archive(2)
        expected = self.good_run()[1]
        # Wine sees through a symbolic link of Linux to the file it points at, and removes
        # that; Windows removes a link of its own, never its target.
        links = {"omvo-covering_far.kml.tmp": ("hard.txt", os.link)}
        if not WINDOWS:
            links["omvo-covering.kml.tmp"] = ("linked.txt", os.symlink)
        for successful in (True, False):
            with self.subTest(successful=successful):
                for temporary, (victim, make_link) in links.items():
                    self.box.write(victim, b"not the tool's")
                    make_link(self.box.path(victim), self.box.path("kml/" + temporary))
                if not successful:
                    os.remove(self.box.path("gpx/ab001tr.gpx"))
                result = self.box.run()
                self.assertEqual(result.code, 0 if successful else 1, result.err)
                for victim, _ in links.values():
                    self.assertEqual(self.box.read(victim), b"not the tool's")
                self.assert_documents(expected)
                self.assertFalse(os.path.islink(self.box.path("kml/omvo-covering.kml")))

    def test_a_document_that_cannot_be_replaced_leaves_all_three_as_they_were(self):
        self.archive(2)
        earlier = self.good_run()[1]
        self.box.write("gpx/ab001tr.gpx", gpx(9))  # the next run's documents differ
        main = self.box.path("kml/omvo-covering.kml")  # replaced last
        if subprocess.run(["chattr", "+i", main], capture_output=True).returncode != 0:
            self.skipTest("no immutable files here (chattr +i needs root and a file system "
                          "that keeps the flag)")
        self.cleanups.append(lambda: subprocess.run(["chattr", "-i", main]))
        result = self.box.run()
        self.assertEqual(result.code, 1)
        self.assertTrue(result.err.startswith(failure_report("File access denied")), result.err)
        # Named as the user knows it, with what failed: an immutable file takes no second name.
        self.assertIn(b"the file was " + main.encode() + b", while keeping it as " +
                      main.encode() + b".old.tmp\r\n", result.err)
        self.assert_documents(earlier)

    @unittest.skipIf(WINDOWS, "Wine's named pipes are not POSIX FIFOs")
    def test_a_stop_does_not_wait_for_a_file_that_never_answers(self):
        self.archive(4)
        earlier = self.good_run()[1]
        os.remove(self.box.path("gpx/ab000tr.gpx"))
        os.remove(self.box.path("gpx/ab001tr.gpx"))
        os.mkfifo(self.box.path("gpx/ab001tr.gpx"))  # a hung network mount: no writer ever
        try:
            result = self.box.run(timeout=30)
        except subprocess.TimeoutExpired:
            self.fail("the run waits for a file it does not use")
        self.assertEqual(result.code, 1)
        self.assertEqual(result.out, cp866("Загрузка ") + b"ab000tr.gpx" + cp866("Файл ") +
                         self.box.path("gpx/ab000tr.gpx").encode() + cp866(" не найден!") +
                         b"\r\n")
        self.assert_documents(earlier)

    def preload_failing_allocation(self):
        if WINDOWS or SANITIZED or not FAILING_ALLOCATION:
            self.skipTest("a preloaded allocator needs a Linux build without sanitizers")
        return {**os.environ, "LD_PRELOAD": FAILING_ALLOCATION}

    def test_memory_that_runs_out_anywhere_is_reported(self):
        environment = self.preload_failing_allocation()
        self.archive(3)
        earlier = self.good_run()[1]
        with self.subTest("on a worker thread"):
            result = self.box.run(env={**environment, "OMVO_FAILING_ALLOCATION": "worker"})
            self.assertEqual((result.code, result.err), (1, OUT_OF_MEMORY))
            self.assert_documents(earlier)
        # Every allocation from the n-th on fails: from the start of the process (the
        # executable's path, the settings) to the last trip.
        for n in range(1, 2000):
            result = self.box.run(env={**environment, "OMVO_FAILING_ALLOCATION": "from:%d" % n})
            if result.code == 0:
                break
            with self.subTest(failing_from=n):
                self.assertEqual((result.code, result.err), (1, OUT_OF_MEMORY))
                self.assert_documents(earlier)
        self.assertGreater(n, 20)
        self.assertLess(n, 2000)

    def unprivileged_user(self):
        """A user id that owns no process, for limits that root is exempt from."""
        if WINDOWS or os.geteuid() != 0:
            self.skipTest("running the tool as another user needs root")
        used = set()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                used.add(os.stat("/proc/" + pid).st_uid)
            except OSError:
                pass
        for uid in range(61000, 62000):
            if uid not in used:
                try:
                    pwd.getpwuid(uid)
                except KeyError:
                    return uid
        self.skipTest("no free user id")

    def test_threads_the_system_does_not_give_leave_the_run_to_one_thread(self):
        uid = self.unprivileged_user()
        self.archive(6)
        out, expected = self.good_run()
        os.chmod(self.box.dir, 0o755)
        os.chown(self.box.path("kml"), uid, uid)

        def as_user_with_one_process():
            resource.setrlimit(resource.RLIMIT_NPROC, (1, 1))  # this process: no thread more
            os.setgroups([])
            os.setgid(uid)
            os.setuid(uid)

        # The leak checker of a sanitized build needs a thread of its own at the end.
        environment = {**os.environ, "ASAN_OPTIONS": "detect_leaks=0"}
        result = self.box.run(preexec_fn=as_user_with_one_process, env=environment)
        self.assertEqual((result.code, result.out, result.err), (0, out, b""))
        self.assert_documents(expected)

    @unittest.skipIf(WINDOWS, "Windows has no limit on a process's file descriptors")
    def test_few_file_descriptors_give_the_run_of_one_thread(self):
        def with_descriptors(count):
            return lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (count, count))

        # The fewest descriptors a run of one trip needs: enough for one track at a time.
        self.archive(1)
        fewest = next(count for count in range(3, 64)
                      if self.box.run(preexec_fn=with_descriptors(count)).code == 0)
        self.archive(30)
        out, expected = self.good_run()
        for attempt in range(3):
            result = self.box.run(preexec_fn=with_descriptors(fewest))
            self.assertEqual((result.code, result.out, result.err), (0, out, b""))
            self.assert_documents(expected)


if __name__ == "__main__":
    unittest.main()

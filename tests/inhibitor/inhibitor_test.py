#!/usr/bin/python3
"""The logind lock of an update run: held with the right terms while the object lives and given
back after, even when granted late; without an answer from logind, one log line and no hang."""
import os
import subprocess
import sys
import time
import unittest

try:
    import dbusmock
except ImportError:
    print('python3-dbusmock is not installed: the inhibitor test is skipped')
    sys.exit(77)

PROBE = sys.argv.pop(1)
LOCK = ('sleep:shutdown', 'LUMIVEX Firmware Updater', "A camera's firmware is being written", 'block')
MOCK = dbusmock.MOCK_IFACE
LOGIND = ('org.freedesktop.login1', '/org/freedesktop/login1', 'org.freedesktop.login1.Manager')


def eventually(condition):
    deadline = time.monotonic() + 10
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.02)
    return condition()


class Inhibitor(dbusmock.DBusTestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_system_bus()

    def run_probe(self, mode, while_held=lambda: None, after_release=lambda: None, bus=None):
        """The probe's answer ("held 0|1 ms"; None when dropped) and log lines; it lives on until after_release."""
        probe = subprocess.Popen([PROBE, mode], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 text=True, env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus or os.environ['DBUS_SYSTEM_BUS_ADDRESS']))
        answer = mode != 'drop' and probe.stdout.readline().split()
        answer and while_held()
        probe.stdin.write('\n')
        probe.stdin.flush()
        self.assertEqual(probe.stdout.readline().strip(), 'released')
        after_release()
        # Qt may warn about a late reply's types while the process exits: not the probe's lines.
        lines = probe.communicate('\n', timeout=10)[1].splitlines()
        return answer, [line for line in lines if not line.startswith('Trying to construct an instance of an invalid type')]

    def mock(self, process):
        self.addCleanup(process.wait)
        self.addCleanup(process.terminate)
        return self.get_dbus(system_bus=True).get_object(*LOGIND[:2])

    def test_lock_held_while_the_object_lives(self):
        logind = self.mock(self.spawn_server_template('logind', {}, stdout=subprocess.DEVNULL)[0])
        held = lambda: [tuple(i[:4]) for i in logind.ListInhibitors()]
        # Given back by the object, not by the end of the process; a grant after the release too
        # (when the request got out at all before the object went: on a busy machine it may not).
        def given_back():
            eventually(lambda: logind.GetMethodCalls('Inhibit', dbus_interface=MOCK))
            self.assertTrue(eventually(lambda: held() == []))
        for mode, answer in (('wait', ['held', '1']), ('loop', ['held', '1']), ('drop', False)):
            with self.subTest(mode=mode):
                logind.ClearCalls(dbus_interface=MOCK)
                got, lines = self.run_probe(mode, lambda: self.assertEqual(held(), [LOCK]), given_back)
                self.assertEqual(got and got[:2], answer)
                self.assertLessEqual(len(lines), mode == 'drop', lines)

    def test_without_an_answer_one_line_and_no_hang(self):
        silent = lambda: self.mock(self.spawn_server(*LOGIND, True, stdout=subprocess.DEVNULL)).AddMethod(
            LOGIND[2], 'Inhibit', 'ssss', 'h', 'time.sleep(3)', dbus_interface=MOCK)
        # mode, system bus, logind, what the one log line says, how long the answer took (ms): an
        # answer that never comes is given up after about two seconds (a busy machine may add some)
        for mode, bus, logind, error, took in (('wait', None, None, 'ServiceUnknown', range(2900)),
                                               ('wait', 'unix:path=/nonexistent/bus', None, '', range(2900)),
                                               ('wait', None, silent, 'NoReply', range(1800, 6000))):
            with self.subTest(mode=mode, bus=bus, error=error):
                logind and logind()
                answer, lines = self.run_probe(mode, bus=bus)
                self.assertEqual(answer[:2], ['held', '0'])
                self.assertIn(int(answer[2]), took)
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith('Inhibit - ') and error in lines[0], lines)


if __name__ == '__main__':
    unittest.main(verbosity=2)

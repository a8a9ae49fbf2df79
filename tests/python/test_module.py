"""The Python module against the batch program: the same entry of --json, the
same files byte for byte, and analyses in threads that do not disturb each other."""
import filecmp
import json
import os
import subprocess
import tempfile
import threading
import unittest

import numpy as np

import vorn

BATCH = os.environ["VORN_BATCH"]
EXAMPLES = os.environ["VORN_EXAMPLES"]

# (example, module options, the same on the command line)
CASES = [
    ("si_p_single.nT", {}, []),
    ("sic4h_p_al.pT", {"smoothness": "auto", "evaluation_type": "Type-C"}, ["--smoothness", "auto", "--evaluation-type", "Type-C"]),
    ("sic4h_n_two_donors.nT", {"dhes": True, "fit": True, "one_impurity": (80, 300), "degeneracy": (2, 2, 2)},
     ["--dhes", "--fit", "--one-impurity=80:300", "--degeneracy", "2,2,2"]),
    ("sic4h_p_al_excited_visible.pT", {"excited": "always", "function": "S"}, ["--excited=always", "--function", "S"]),
]


def batch_entry(path, args, out):
    p = subprocess.run([BATCH, "--json", "--quiet", "--output-dir", out, *args, path],
                       capture_output=True, text=True)
    return json.loads(p.stdout)[0]


def without_folder(entry, folder):
    # Runs into folders of their own: the names in them must agree.
    return json.loads(json.dumps(entry).replace(folder, "<out>"))


class ModuleEqualsBatch(unittest.TestCase):
    def test_entry_and_files(self):
        for example, options, args in CASES:
            with self.subTest(example=example), tempfile.TemporaryDirectory() as tmp:
                path = os.path.join(EXAMPLES, example)
                # The same folder for both: the result files' headers name their paths.
                out, a = os.path.join(tmp, "out"), os.path.join(tmp, "batch")
                expected = batch_entry(path, args, out)
                os.rename(out, a)
                r = vorn.analyse(path, output_dir=out, **options)
                self.assertEqual(r.to_dict(), expected)
                self.assertEqual(sorted(os.listdir(a)), sorted(os.listdir(out)))
                for name in os.listdir(a):
                    self.assertTrue(filecmp.cmp(os.path.join(a, name), os.path.join(out, name), shallow=False), name)
                # The attributes are the entry's, the arrays the analysis's.
                self.assertEqual(r.stages[0].energy_level, expected["stages"][0]["energyLevel"])
                self.assertEqual(len(r.grid), expected["gridPoints"])
                self.assertEqual(len(r.temperature), expected["dataCount"])
                self.assertEqual(len(r.h_curves), len(expected["stages"]))

    def test_arrays_analysed_as_their_file(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(EXAMPLES, "si_p_single.nT")
            data = vorn.read(path)
            self.assertEqual(data.material, "Si")
            given = vorn.Data(data.temperature, data.concentration, data.reliability, material=data.material,
                              conduction_type=data.conduction_type, name="typed")
            r = vorn.analyse(given, output_dir=tmp)
            direct = vorn.analyse(path, output_dir=os.path.join(tmp, "direct"))
            for s, t in zip(r.stages, direct.stages):
                self.assertEqual((s.energy_level, s.density), (t.energy_level, t.density))
            np.testing.assert_array_equal(r.spline, direct.spline)

    def test_errors_carry_the_program_message(self):
        with tempfile.TemporaryDirectory() as tmp:
            cases = [
                (lambda: vorn.read(os.path.join(tmp, "none.nT")), vorn.Error, "none.nT"),
                (lambda: vorn.analyse(os.path.join(EXAMPLES, "si_p_single.nT"), smoothness="x"), ValueError,
                 "--smoothness needs a positive number, not 'x'"),
                (lambda: vorn.analyse(os.path.join(EXAMPLES, "edge_descending.nT"), output_dir=tmp), vorn.Error,
                 "The temperatures do not ascend"),
                (lambda: vorn.analyse(os.path.join(EXAMPLES, "si_p_single.nT"), jobs=2), TypeError, "jobs"),
                (lambda: vorn.Data([10, 20], [1e15, -1], material="Si").save(os.path.join(tmp, "d.nT")), ValueError, ""),
            ]
            for call, kind, text in cases:
                with self.subTest(text=text):
                    with self.assertRaises(kind) as caught:
                        call()
                    self.assertIn(text, str(caught.exception))


class Interleaved(unittest.TestCase):
    def test_threads_equal_one_after_the_other(self):
        files = [os.path.join(EXAMPLES, f) for f in ("sic4h_n_two_donors.nT", "si_p_single.nT", "sic4h_p_al.pT")]
        with tempfile.TemporaryDirectory() as tmp:
            sequential = [vorn.analyse(f, output_dir=os.path.join(tmp, "seq", str(i)), fit=True)
                          for i, f in enumerate(files)]
            together = [None] * len(files)

            def work(i):
                together[i] = vorn.analyse(files[i], output_dir=os.path.join(tmp, "par", str(i)), fit=True)
            threads = [threading.Thread(target=work, args=(i,)) for i in range(len(files))]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            for i, (s, t) in enumerate(zip(sequential, together)):
                self.assertEqual(without_folder(s.to_dict(), os.path.join(tmp, "seq", str(i))),
                                 without_folder(t.to_dict(), os.path.join(tmp, "par", str(i))))
                np.testing.assert_array_equal(s.simulation, t.simulation)


if __name__ == "__main__":
    unittest.main()

// Writes DLS collections with the JDK's own DLS writer (com.sun.media.sound), so the
// files are laid out as that writer lays them out.
//   Sf2ToDls IN.sf2 OUT.dls [BANK:PROGRAM ...]   SoundFont presets (all when none named)
//   Sf2ToDls --resave IN.dls OUT.dls             read a DLS file and write it back
//   Sf2ToDls --list IN.sf2                       presets with their sample bytes
// Several jobs can be given in one run, separated by "--" (one JVM start is slow).
import com.sun.media.sound.DLSInstrument;
import com.sun.media.sound.DLSModulator;
import com.sun.media.sound.DLSRegion;
import com.sun.media.sound.DLSSample;
import com.sun.media.sound.DLSSampleLoop;
import com.sun.media.sound.DLSSampleOptions;
import com.sun.media.sound.DLSSoundbank;
import com.sun.media.sound.ModelPatch;
import com.sun.media.sound.SF2Instrument;
import com.sun.media.sound.SF2InstrumentRegion;
import com.sun.media.sound.SF2LayerRegion;
import com.sun.media.sound.SF2Region;
import com.sun.media.sound.SF2Sample;
import com.sun.media.sound.SF2Soundbank;
import java.io.File;
import java.util.HashMap;
import java.util.HashSet;
import java.util.Map;
import java.util.Set;
import javax.sound.sampled.AudioFormat;

public final class Sf2ToDls {
  private static final int CONN_DST_EG1_ATTACKTIME = 0x0206;
  private static final int CONN_DST_EG1_RELEASETIME = 0x0209;

  public static void main(String[] all) throws Exception {
    java.util.List<String> job = new java.util.ArrayList<>();
    for (String a : all) {
      if (a.equals("--")) {
        run(job.toArray(new String[0]));
        job.clear();
      } else {
        job.add(a);
      }
    }
    run(job.toArray(new String[0]));
  }

  private static void list(SF2Soundbank sf2) {
    for (SF2Instrument p : sf2.getInstruments()) {
      Set<SF2Sample> used = new HashSet<>();
      int regions = 0;
      for (SF2InstrumentRegion pz : p.getRegions())
        for (SF2LayerRegion iz : pz.getLayer().getRegions())
          if (iz.getSample() != null) {
            used.add(iz.getSample());
            ++regions;
          }
      long bytes = 0;
      for (SF2Sample s : used) bytes += s.getDataBuffer().capacity();
      boolean drums = p.getPatch() instanceof ModelPatch && ((ModelPatch) p.getPatch()).isPercussion();
      System.out.println((drums ? 128 : p.getPatch().getBank()) + ":" + p.getPatch().getProgram() + " bytes="
          + bytes + " regions=" + regions + " waves=" + used.size() + " " + p.getName());
    }
  }

  private static void run(String[] args) throws Exception {
    if (args.length == 2 && args[0].equals("--list")) {
      list(banks.computeIfAbsent(args[1], Sf2ToDls::open));
      return;
    }
    if (args.length >= 3 && args[0].equals("--resave")) {
      DLSSoundbank in = new DLSSoundbank(new File(args[1]));
      in.save(new File(args[2]));
      report(args[2], in);
      return;
    }
    if (args.length < 2) {
      System.err.println("usage: Sf2ToDls IN.sf2 OUT.dls [BANK:PROGRAM ...] | --resave IN.dls OUT.dls");
      System.exit(2);
    }
    Set<String> only = new HashSet<>();
    for (int i = 2; i < args.length; ++i) only.add(args[i]);
    SF2Soundbank sf2 = banks.computeIfAbsent(args[0], Sf2ToDls::open);
    DLSSoundbank dls = new DLSSoundbank();
    dls.setName("Sf2ToDls corpus");
    Map<SF2Sample, DLSSample> waves = new HashMap<>();
    for (SF2Instrument p : sf2.getInstruments()) {
      int bank = p.getPatch().getBank(), prog = p.getPatch().getProgram();
      boolean drums = p.getPatch() instanceof ModelPatch && ((ModelPatch) p.getPatch()).isPercussion();
      if (!drums && bank == 128) drums = true;
      int sf2Bank = drums ? 128 : bank;
      if (!only.isEmpty() && !only.contains(sf2Bank + ":" + prog)) continue;
      DLSInstrument di = new DLSInstrument(dls);
      di.setName(p.getName());
      di.setPatch(new ModelPatch(drums ? 0 : bank, prog, drums));
      for (SF2InstrumentRegion pz : p.getRegions()) {
        int[] pk = range(pz, SF2Region.GENERATOR_KEYRANGE);
        int[] pv = range(pz, SF2Region.GENERATOR_VELRANGE);
        for (SF2LayerRegion iz : pz.getLayer().getRegions()) {
          SF2Sample s = iz.getSample();
          if (s == null) continue;
          int[] k = range(iz, SF2Region.GENERATOR_KEYRANGE);
          int[] v = range(iz, SF2Region.GENERATOR_VELRANGE);
          int klo = Math.max(k[0], pk[0]), khi = Math.min(k[1], pk[1]);
          int vlo = Math.max(v[0], pv[0]), vhi = Math.min(v[1], pv[1]);
          if (klo > khi || vlo > vhi) continue;
          DLSRegion r = new DLSRegion();
          r.setKeyfrom(klo);
          r.setKeyto(khi);
          r.setVelfrom(vlo);
          r.setVelto(vhi);
          r.setSample(waves.computeIfAbsent(s, x -> wave(dls, x)));
          DLSSampleOptions o = new DLSSampleOptions();
          int root = iz.contains(SF2Region.GENERATOR_OVERRIDINGROOTKEY)
              ? iz.getShort(SF2Region.GENERATOR_OVERRIDINGROOTKEY) : -1;
          o.setUnitynote(root >= 0 ? root : s.getOriginalPitch());
          int fine = s.getPitchCorrection() + iz.getShort(SF2Region.GENERATOR_FINETUNE)
              + 100 * iz.getShort(SF2Region.GENERATOR_COARSETUNE);
          o.setFinetune((short) fine);
          if ((iz.getShort(SF2Region.GENERATOR_SAMPLEMODES) & 1) != 0 && s.getEndLoop() > s.getStartLoop()) {
            DLSSampleLoop l = new DLSSampleLoop();
            l.setType(DLSSampleLoop.LOOP_TYPE_FORWARD);
            l.setStart(s.getStartLoop());
            l.setLength(s.getEndLoop() - s.getStartLoop());
            o.getLoops().add(l);
          }
          r.setSampleoptions(o);
          time(r, iz, SF2Region.GENERATOR_ATTACKVOLENV, CONN_DST_EG1_ATTACKTIME);
          time(r, iz, SF2Region.GENERATOR_RELEASEVOLENV, CONN_DST_EG1_RELEASETIME);
          di.getRegions().add(r);
        }
      }
      dls.addInstrument(di);
    }
    if (dls.getInstruments().length == 0) {
      System.err.println("Sf2ToDls: " + args[0] + ": no preset matches the selection");
      System.exit(1);
    }
    dls.save(new File(args[1]));
    report(args[1], dls);
  }

  // Reading a bank is most of the work; jobs of one run share it.
  private static final Map<String, SF2Soundbank> banks = new HashMap<>();

  private static SF2Soundbank open(String path) {
    try {
      return new SF2Soundbank(new File(path));
    } catch (java.io.IOException e) {
      throw new java.io.UncheckedIOException(path + ": " + e.getMessage(), e);
    }
  }

  private static int[] range(SF2Region z, int gen) {
    if (!z.contains(gen)) return new int[] {0, 127};
    byte[] b = z.getBytes(gen);
    return new int[] {b[0] & 0xff, b[1] & 0xff};
  }

  // SoundFont envelope times are time cents already; DLS scales them by 65536.
  private static void time(DLSRegion r, SF2Region z, int gen, int dest) {
    if (!z.contains(gen)) return;
    DLSModulator m = new DLSModulator();
    m.setDestination(dest);
    m.setScale(z.getShort(gen) * 65536);
    m.setVersion(1);
    r.getModulators().add(m);
  }

  private static DLSSample wave(DLSSoundbank dls, SF2Sample s) {
    DLSSample w = new DLSSample(dls);
    w.setName(s.getName());
    w.setFormat(new AudioFormat(s.getSampleRate(), 16, 1, true, false));
    w.setData(s.getDataBuffer());
    DLSSampleOptions o = new DLSSampleOptions();
    o.setUnitynote(s.getOriginalPitch());
    o.setFinetune(s.getPitchCorrection());
    w.setSampleoptions(o);
    dls.addResource(w);
    return w;
  }

  private static void report(String out, DLSSoundbank dls) {
    int regions = 0;
    for (DLSInstrument i : dls.getInstruments()) regions += i.getRegions().size();
    System.out.println(out + ": instruments=" + dls.getInstruments().length + " regions=" + regions
        + " waves=" + dls.getSamples().length);
  }
}

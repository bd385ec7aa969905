/* Writes a DLS collection from a SoundFont 2 bank through libinstpatch's own
 * DLS objects and DLS writer, so the file is laid out as that library lays it
 * out. Usage: sf2dls IN.sf2 OUT.dls [BANK:PROGRAM ...]  (no selection: all). */
#include <libinstpatch/libinstpatch.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int selected(int argc, char** argv, int bank, int prog) {
  if (argc <= 3) return 1;
  for (int i = 3; i < argc; ++i) {
    int b = -1, p = -1;
    if (sscanf(argv[i], "%d:%d", &b, &p) == 2 && b == bank && p == prog) return 1;
  }
  return 0;
}

/* One DLS wave per SoundFont sample, however many regions use it. */
static IpatchDLS2Sample* wave_for(IpatchDLS2* dls, GHashTable* waves, IpatchSF2Sample* s) {
  IpatchDLS2Sample* w = g_hash_table_lookup(waves, s);
  if (w) return w;
  char* name = NULL;
  int rate = 0, root = 60, fine = 0;
  guint ls = 0, le = 0;
  g_object_get(s, "name", &name, "sample-rate", &rate, "root-note", &root, "fine-tune", &fine, "loop-start",
               &ls, "loop-end", &le, NULL);
  w = ipatch_dls2_sample_new();
  g_object_set(w, "name", name, "sample-rate", rate, "root-note", root, "fine-tune", fine, NULL);
  ipatch_dls2_sample_set_data(w, ipatch_sf2_sample_peek_data(s));
  ipatch_container_append(IPATCH_CONTAINER(dls), IPATCH_ITEM(w));
  g_hash_table_insert(waves, s, w);
  g_object_unref(w);
  g_free(name);
  return w;
}

static int gen_set(IpatchSF2Zone* z, guint id, IpatchSF2GenAmount* a) {
  return ipatch_sf2_gen_item_get_amount(IPATCH_SF2_GEN_ITEM(z), id, a);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: sf2dls IN.sf2 OUT.dls [BANK:PROGRAM ...]\n");
    return 2;
  }
  ipatch_init();
  GError* err = NULL;
  IpatchFileHandle* in = ipatch_file_identify_open(argv[1], &err);
  if (!in || !IPATCH_IS_SF2_FILE(in->file)) {
    fprintf(stderr, "sf2dls: %s: not a SoundFont 2 file (%s)\n", argv[1], err ? err->message : "?");
    return 1;
  }
  IpatchSF2Reader* reader = ipatch_sf2_reader_new(in);
  IpatchSF2* sf2 = ipatch_sf2_reader_load(reader, &err);
  if (!sf2) {
    fprintf(stderr, "sf2dls: %s: %s\n", argv[1], err->message);
    return 1;
  }
  IpatchDLS2* dls = ipatch_dls2_new();
  ipatch_dls2_set_info(dls, IPATCH_DLS2_NAME, "sf2dls corpus");
  GHashTable* waves = g_hash_table_new(NULL, NULL);
  int ninst = 0, nreg = 0;

  IpatchList* presets = ipatch_sf2_get_presets(sf2);
  for (GList* pl = presets->items; pl; pl = pl->next) {
    IpatchSF2Preset* p = pl->data;
    int bank = 0, prog = 0;
    ipatch_sf2_preset_get_midi_locale(p, &bank, &prog);
    if (!selected(argc, argv, bank, prog)) continue;
    IpatchDLS2Inst* di = ipatch_dls2_inst_new();
    char* pname = ipatch_sf2_preset_get_name(p);
    ipatch_dls2_inst_set_info(di, IPATCH_DLS2_NAME, pname);
    g_free(pname);
    ipatch_dls2_inst_set_midi_locale(di, bank == 128 ? 0 : bank, prog);
    if (bank == 128) g_object_set(di, "percussion", TRUE, NULL);
    IpatchList* pz = ipatch_sf2_preset_get_zones(p);
    for (GList* a = pz->items; a; a = a->next) {
      IpatchSF2Zone* z = a->data;
      IpatchItem* link = ipatch_sf2_zone_peek_link_item(z);
      if (!link || !IPATCH_IS_SF2_INST(link)) continue;
      IpatchSF2GenAmount pk = {.range = {0, 127}}, pv = {.range = {0, 127}};
      gen_set(z, IPATCH_SF2_GEN_NOTE_RANGE, &pk);
      gen_set(z, IPATCH_SF2_GEN_VELOCITY_RANGE, &pv);
      IpatchList* iz = ipatch_sf2_inst_get_zones(IPATCH_SF2_INST(link));
      for (GList* b = iz->items; b; b = b->next) {
        IpatchSF2Zone* y = b->data;
        IpatchItem* sl = ipatch_sf2_zone_peek_link_item(y);
        if (!sl || !IPATCH_IS_SF2_SAMPLE(sl)) continue;
        IpatchSF2GenAmount k = {.range = {0, 127}}, v = {.range = {0, 127}}, g;
        gen_set(y, IPATCH_SF2_GEN_NOTE_RANGE, &k);
        gen_set(y, IPATCH_SF2_GEN_VELOCITY_RANGE, &v);
        if (!ipatch_sf2_gen_range_intersect(&k, &pk) || !ipatch_sf2_gen_range_intersect(&v, &pv)) continue;
        IpatchSF2Sample* s = IPATCH_SF2_SAMPLE(sl);
        IpatchDLS2Sample* w = wave_for(dls, waves, s);
        IpatchDLS2Region* r = ipatch_dls2_region_new();
        ipatch_dls2_region_set_note_range(r, k.range.low, k.range.high);
        ipatch_dls2_region_set_velocity_range(r, v.range.low, v.range.high);
        ipatch_dls2_region_set_sample(r, w);
        int root = 60, fine = 0;
        guint ls = 0, le = 0;
        g_object_get(s, "root-note", &root, "fine-tune", &fine, "loop-start", &ls, "loop-end", &le, NULL);
        if (gen_set(y, IPATCH_SF2_GEN_ROOT_NOTE_OVERRIDE, &g) && g.sword >= 0) root = g.sword;
        if (gen_set(y, IPATCH_SF2_GEN_FINE_TUNE_OVERRIDE, &g)) fine += g.sword;
        if (gen_set(y, IPATCH_SF2_GEN_COARSE_TUNE, &g)) fine += 100 * g.sword;
        int loop = gen_set(y, IPATCH_SF2_GEN_SAMPLE_MODES, &g) && (g.uword & 1);
        g_object_set(r, "root-note", root, "fine-tune", CLAMP(fine, -32768, 32767), NULL);
        if (loop && le > ls)
          g_object_set(r, "loop-type", IPATCH_SAMPLE_LOOP_STANDARD, "loop-start", ls, "loop-end", le, NULL);
        ipatch_container_append(IPATCH_CONTAINER(di), IPATCH_ITEM(r));
        g_object_unref(r);
        ++nreg;
      }
      g_object_unref(iz);
    }
    g_object_unref(pz);
    ipatch_container_append(IPATCH_CONTAINER(dls), IPATCH_ITEM(di));
    g_object_unref(di);
    ++ninst;
  }
  if (!ninst) {
    fprintf(stderr, "sf2dls: %s: no preset matches the selection\n", argv[1]);
    return 1;
  }
  IpatchDLSFile* of = ipatch_dls_file_new();
  IpatchFileHandle* out = ipatch_file_open(IPATCH_FILE(of), argv[2], "w", &err);
  if (!out) {
    fprintf(stderr, "sf2dls: %s: %s\n", argv[2], err->message);
    return 1;
  }
  IpatchDLSWriter* wr = ipatch_dls_writer_new(out, dls);
  if (!ipatch_dls_writer_save(wr, &err)) {
    fprintf(stderr, "sf2dls: %s: %s\n", argv[2], err->message);
    return 1;
  }
  ipatch_file_close(out);
  printf("instruments=%d regions=%d waves=%u\n", ninst, nreg, g_hash_table_size(waves));
  return 0;
}
